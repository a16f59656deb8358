#pragma once
// Unpacking zip packages (mods): a package's files go into the folder the
// package lies in, replacing files of the same names.
//
// A package is untrusted. Every entry is checked before anything is written,
// and one bad entry refuses the whole package: absolute names, drive names,
// "..", backslashes, control characters, symbolic links, devices and
// encrypted entries. At most 10,000 entries, 100,000 folders on their ways
// and 256 MiB unpacked, counted while the data streams (the sizes a package
// declares may lie). Entries are
// unpacked into a hidden folder first and moved into place only when all of
// them arrived intact, so a package that fails half-way changes nothing.

#include <cstdint>
#include <string>
#include <string_view>

namespace ef2 {

struct PackageLimits {
    int64_t maxEntries = 10'000;
    int64_t maxBytes = int64_t{256} << 20;
    // Every entry is reached folder by folder, a few times over, without
    // following links, so the folders on the ways of all entries together are
    // limited as well: 10,000 entries 500 folders deep took two minutes.
    int64_t maxFolderSteps = 100'000;
};

// False, with `error` saying why, when the package was refused or could not
// be unpacked; then nothing was written. A relative `archive` is found below
// the working folder without following links.
bool unpackPackage(const std::string& archive, std::string& error, const PackageLimits& limits = {});

// True for an entry name that stays inside the folder it is unpacked into.
bool packageEntryNameAllowed(std::string_view name);

}  // namespace ef2
