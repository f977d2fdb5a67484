#pragma once

namespace CLI {
class App;
}
class CliContext;

void addExportCommand(CLI::App& app, CliContext& context);
