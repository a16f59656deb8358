#pragma once
// Fetching a file over HTTP, in the program's own process.
//
// Only http:// is spoken, redirects included (at most five, never to another
// scheme); an HTTP error status is a failure; the connection must open within
// 10 s, and the whole transfer ends after 60 s; more than 64 MiB is refused
// while it arrives. The file is written under a temporary name next to its
// final one and renamed when complete, so a failed download leaves nothing.

#include <cstdint>
#include <functional>
#include <string>

namespace ef2 {

struct DownloadLimits {
    long connectTimeoutMs = 10'000;
    long totalTimeoutMs = 60'000;
    // A transfer slower than a byte a second for this long has stalled.
    long stallTimeoutS = 15;
    int64_t maxBytes = int64_t{64} << 20;
    long maxRedirects = 5;
};

// Called now and then while a download runs: bytes so far, bytes expected
// (0 when unknown).
using DownloadProgress = std::function<void(int64_t received, int64_t expected)>;

// Downloads `address` into `localName` (a relative path below the working
// folder; missing folders are created, never through a symbolic link, see
// confined_files.h). False, with `error` saying why, when nothing was written.
bool downloadFile(const std::string& address, const std::string& localName, std::string& error,
                  const DownloadProgress& progress = {}, const DownloadLimits& limits = {});

}  // namespace ef2
