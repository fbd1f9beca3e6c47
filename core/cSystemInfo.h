// Facts about the machine, gathered once at creation.
#pragma once

#include <string>

class cSystemInfo {
public:
    cSystemInfo();

    std::string OperatingSystem() const { return osName_; }
    // Plain-text report of the system and of the components the program relies on.
    std::string DependencyReport();
    // Kernel type " - " kernel version, e.g. "linux - 6.1.0".
    std::string getWindowsVersion() const;
    // Appends the program folder to the process PATH (once); true on success.
    bool SetCurrentPath();
    std::string ComputerName() const { return computerName_; }
    // Screen width "x" height of the primary screen; "" (and the error reported) without one.
    std::string GetCurrentResolution() const;
    // Component versions sent with update checks. The database layer's driver manager stands
    // in for MDAC; there is no Internet Explorer or .NET Framework here.
    std::string MDACVersion() const;
    std::string IEVersion() const { return {}; }
    std::string DotNetVersion() const { return {}; }
    std::string CurrentWinUsername() const { return userName_; }

private:
    std::string osName_;
    std::string computerName_;
    std::string userName_;
    std::string dependencyReport_;
    void fillNames();
};
