// Readers of the INI files in the Config folder, opened for one read each.
#pragma once

#include <string>
#include <vector>

class TCommonLib;

// The sections of the file, in file order. Store errors are thrown.
std::vector<std::string> ReadConfigSections(const TCommonLib& lib, const std::string& fileName);
// The value of key `name` in section `name`, empty when it is not there.
std::string ReadConfigValue(const TCommonLib& lib, const std::string& fileName,
                            const std::string& name);
