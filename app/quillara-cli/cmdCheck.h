#pragma once

namespace CLI {
class App;
}
class CliContext;

void addCheckCommand(CLI::App& app, CliContext& context);
