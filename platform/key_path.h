// Key paths as the program writes them: a root key's name, then the names of
// the keys below it, each after a backslash
// ("HKEY_LOCAL_MACHINE\Software\Classes"). Every part of the program that
// takes a path apart does it here, so that all of them read a path alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The names of a key path in order. As the registry reads a path, an empty
// name (a leading or trailing backslash, or two in a row) names no key and is
// left out: "a\\b\" and "\a\\\b" both give "a", "b".
std::vector<std::string> KeyPathNames(std::string_view path);
// How many names KeyPathNames would give, counted in place (no allocation):
// 2 for "a\\b\".
std::size_t KeyPathDepth(std::string_view path);

// The root key's name of a full key path, as written ("HKEY_CURRENT_USER" of
// "HKEY_CURRENT_USER\Software"; the whole path when it holds no backslash),
// and in `subKey`, when given, the path below it as written ("Software"; ""
// for a root alone). `subKey` may be `fullPath` itself.
std::string KeyPathRoot(const std::string& fullPath, std::string* subKey = nullptr);

// The path of a key's parent ("a\b" of "a\b\c"; "" for a path of one name)
// and in `last`, when given, the key's own name ("c"). Trailing backslashes
// are no name: "a\b\c\" reads as "a\b\c".
std::string KeyPathParent(const std::string& path, std::string* last = nullptr);

}  // namespace qm
