#pragma once

namespace CLI {
class App;
}
class CliContext;

void addConfigCommand(CLI::App& app, CliContext& context);
