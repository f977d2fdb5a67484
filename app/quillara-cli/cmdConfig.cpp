#include "cmdConfig.h"

#include "CliContext.h"
#include "CliJson.h"
#include "Common/utlIniInfo.h"
#include "Platform/platformText.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

namespace {

// Keys that hold file paths or a command line: the file system's bytes, never converted.
bool isPathKey(IniKey key)
{
    return key == IniKey::NNBKName || key == IniKey::FavoritesFolder ||
           key == IniKey::BrowserCommand;
}

std::string valueText(const utlIniInfo& ini, const IniKeyInfo& key)
{
    if (!key.isText)
        return std::to_string(ini.getInt(key.key));
    return isPathKey(key.key) ? ini.getString(key.key)
                              : platform::sjisToUtf8(ini.getString(key.key));
}

void printJson(const utlIniInfo& ini)
{
    CliJson json;
    json.beginObject();
    json.key("program_directory").utf8(ini.getProgramDirectory());
    json.key("config_directory").utf8(ini.getConfigDirectory());
    json.key("data_directory").utf8(ini.getDataDirectory());
    json.key("settings_file").utf8(ini.getIniFilePath());
    json.key("settings").beginArray();
    for (const IniKeyInfo& key : utlIniInfo::table()) {
        json.beginObject().key("section").utf8(key.section).key("key").utf8(key.name).key("value");
        if (key.isText && isPathKey(key.key))
            json.utf8(ini.getString(key.key));
        else if (key.isText)
            json.sjis(ini.getString(key.key));
        else
            json.number(ini.getInt(key.key));
        json.endObject();
    }
    json.endArray();
    json.key("cabinet_folders").beginArray();
    for (const auto& folder : ini.getCabinetFolders())
        json.beginObject()
            .key("number")
            .number(folder.number)
            .key("path")
            .utf8(folder.path)
            .endObject();
    json.endArray();
    json.key("cabinet_files").beginArray();
    for (std::size_t i = 0; i < ini.getCabinetFiles().size(); ++i) {
        std::string path;
        ini.getCabinetFilePath(i, path);
        json.utf8(path);
    }
    json.endArray();
    json.endObject();
    std::printf("%s\n", json.text().c_str());
}

void printText(const utlIniInfo& ini)
{
    std::printf("program directory: %s\n", ini.getProgramDirectory().c_str());
    std::printf("config directory:  %s\n", ini.getConfigDirectory().c_str());
    std::printf("data directory:    %s\n", ini.getDataDirectory().c_str());
    std::printf("settings file:     %s\n", ini.getIniFilePath().c_str());
    std::string section;
    for (const IniKeyInfo& key : utlIniInfo::table()) {
        if (section != key.section) {
            section = key.section;
            std::printf("[%s]\n", key.section);
        }
        std::printf("%s=%s\n", key.name, valueText(ini, key).c_str());
    }
    std::printf("[Cabinet Folders]\n");
    for (const auto& folder : ini.getCabinetFolders())
        std::printf("%02d %s\n", folder.number, folder.path.c_str());
    std::printf("[Cabinet Files]\n");
    for (std::size_t i = 0; i < ini.getCabinetFiles().size(); ++i) {
        std::string path;
        ini.getCabinetFilePath(i, path);
        std::printf("%02zu %s\n", i, path.c_str());
    }
}

} // namespace

void addConfigCommand(CLI::App& app, CliContext& context)
{
    auto json = std::make_shared<bool>(false);
    CLI::App* command =
        app.add_subcommand("config", "Print the directories and every setting with its value");
    command->add_flag("--json", *json, "Print JSON");
    command->callback([&context, json] {
        if (!context.startServices()) {
            context.exitCode = CliContext::ExitError;
            return;
        }
        const utlIniInfo& ini = *GetUtlIniInfo();
        if (*json)
            printJson(ini);
        else
            printText(ini);
        context.exitCode = CliContext::ExitOk;
    });
}
