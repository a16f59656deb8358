#include "platform/downloads.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <random>

#include "platform/confined_files.h"

namespace ef2 {

namespace {

// The download's file under a temporary name beside its final one; removed
// unless it is committed under the final name.
class PartFile {
public:
    explicit PartFile(const std::string& finalName) : finalName_(finalName) {
        std::random_device entropy;
        for (int attempt = 0; attempt < 16 && !file_; ++attempt) {
            name_ = finalName + ".part" + std::to_string(entropy() % 1000000);
            file_ = openForWriting(name_, WriteMode::CreateNew, Confinement::WorkingFolder);
        }
    }
    ~PartFile() {
        file_ = FileHandle();
        if (!committed_ && !name_.empty()) removeFile(name_);
    }
    bool valid() const { return static_cast<bool>(file_); }
    bool write(const char* bytes, std::size_t size) {
        while (size > 0) {
            ssize_t written = ::write(file_.descriptor(), bytes, size);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return false;
            bytes += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }
    bool commit() {
        file_ = FileHandle();
        committed_ = renameFile(name_, finalName_);
        return committed_;
    }

private:
    std::string finalName_, name_;
    FileHandle file_;
    bool committed_ = false;
};

struct Transfer {
    PartFile* file;
    int64_t received = 0;
    int64_t maxBytes;
    bool tooLarge = false;
    bool writeFailed = false;
    const DownloadProgress* progress;
};

std::size_t receive(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (transfer.received + static_cast<int64_t>(bytes) > transfer.maxBytes) {
        transfer.tooLarge = true;
        return 0;  // ends the transfer
    }
    if (!transfer.file->write(data, bytes)) {
        transfer.writeFailed = true;
        return 0;
    }
    transfer.received += static_cast<int64_t>(bytes);
    return bytes;
}

int reportProgress(void* user, curl_off_t expected, curl_off_t, curl_off_t, curl_off_t) {
    auto& transfer = *static_cast<Transfer*>(user);
    if (transfer.progress && *transfer.progress) {
        (*transfer.progress)(transfer.received, static_cast<int64_t>(expected));
    }
    return 0;
}

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

bool downloadFile(const std::string& address, const std::string& localName, std::string& error,
                  const DownloadProgress& progress, const DownloadLimits& limits) {
    if (address.rfind("http://", 0) != 0) {
        error = "only http:// addresses are downloaded";
        return false;
    }
    const std::size_t slash = localName.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : localName.substr(0, slash);
    if (!folder.empty() && !makeFolders(folder)) {
        error = "cannot make the folder \"" + folder + "\"";
        return false;
    }
    PartFile file(localName);
    if (!file.valid()) {
        error = "cannot write \"" + localName + "\"";
        return false;
    }
    initialiseCurlOnce();
    CURL* curl = curl_easy_init();
    if (!curl) {
        error = "cannot start a download";
        return false;
    }
    Transfer transfer{&file, 0, limits.maxBytes, false, false, &progress};
    char curlError[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, limits.maxRedirects);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.stallTimeoutS);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Emberfall2");
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, curlError);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, reportProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, progress ? 0L : 1L);
    CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);

    if (transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
        error = "larger than " + std::to_string(limits.maxBytes >> 20) + " MiB";
    } else if (transfer.writeFailed) {
        error = "cannot write \"" + localName + "\"";
    } else if (result != CURLE_OK) {
        error = curlError[0] ? curlError : curl_easy_strerror(result);
    } else if (!file.commit()) {
        error = "cannot write \"" + localName + "\"";
    } else {
        return true;
    }
    return false;
}

}  // namespace ef2
