// SPDX-License-Identifier: GPL-3.0-or-later
#include "airfolder.h"

#include <dirent.h>
#include <fstream>
#include <unistd.h>

namespace sim {

void ReadAir(const std::string &folder, Air &air)
{
    DIR *entries = ::opendir(folder.c_str());
    if (!entries)
        return;
    while (const dirent *entry = ::readdir(entries)) {
        const std::string name = entry->d_name;
        if (AirAddress(name) != name)
            continue; // ".", "..", a file half written
        std::ifstream file(folder + "/" + name);
        OnAir module;
        if (std::getline(file, module.pin) && std::getline(file, module.role)) {
            std::getline(file, module.linkedTo);
            air[name] = module;
        }
    }
    ::closedir(entries);
}

void WriteAir(const std::string &folder, const Air &air, const Air &before)
{
    for (const auto &[address, module] : air) {
        const auto was = before.find(address);
        if (was != before.end() && was->second.pin == module.pin && was->second.role == module.role
            && was->second.linkedTo == module.linkedTo)
            continue;
        // Written aside and renamed, so that another simulator never reads half a file.
        const std::string path = folder + "/" + address;
        {
            std::ofstream file(path + ".new");
            file << module.pin << '\n' << module.role << '\n' << module.linkedTo << '\n';
        }
        std::rename((path + ".new").c_str(), path.c_str());
    }
}

} // namespace sim
