// Test-only: a package's settings as texts, in the order `bqpack info`
// shows them (a text as it stands, a number or flag in decimal), so that a
// test states every expected setting in one list written by hand.
#pragma once
#include <string>
#include <vector>

#include "package/package_settings.h"

inline std::vector<std::string> SettingTexts(const PackageSettings& settings) {
    std::vector<std::string> texts;
    for (const PackageSetting& s : kPackageSettings)
        texts.push_back(s.text     ? settings.*s.text
                        : s.number ? std::to_string(settings.*s.number)
                                   : std::to_string(settings.*s.flag));
    return texts;
}
