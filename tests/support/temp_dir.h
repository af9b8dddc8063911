// A fresh folder on the real file system, removed with everything in it.
#pragma once

#include <string>

namespace test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Makes a folder (and parents); fails the test on error.
void MakeFolder(const std::string& path);

}  // namespace test
