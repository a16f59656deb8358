#pragma once
// The check that every file name or link from a script passes before the
// program uses it.
//
// Statement arguments are checked strictly: they may not climb out of the
// working directory ("..") or name an absolute path. In every mode, names that
// would start downloaders, editors or the command processor are refused. A
// refused name is reported on the console and the statement that named it
// does nothing; it never ends the program.

#include <string>
#include <string_view>

namespace ef2 {

class Runtime;

// False when `name` breaks the rules above.
bool fileNameAllowed(std::string_view name, bool strict);

// Checks `argument` (a statement's own stored text, which later rules may
// rewrite in place) and returns false when it must not be used: when it is
// empty or refused. At present every allowed name is used as it is; web
// addresses and archives are not fetched or unpacked.
bool handleLink(Runtime& runtime, std::string& argument, bool strict);

}  // namespace ef2
