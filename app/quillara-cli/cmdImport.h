#pragma once

namespace CLI {
class App;
}
class CliContext;

// import, create and copy: the commands that make or extend cabinet files.
void addImportCommand(CLI::App& app, CliContext& context);
void addCreateCommand(CLI::App& app, CliContext& context);
void addCopyCommand(CLI::App& app, CliContext& context);
