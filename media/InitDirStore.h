// Where the open dialog starts: a folder kept with the user settings, which
// live above the source list.
#pragma once

#include <string>

class IInitDirStore {
public:
    virtual ~IInitDirStore() = default;
    virtual std::string LoadInitDir() = 0;
    virtual void SaveInitDir(const std::string& folder) = 0;
};
