#pragma once

namespace CLI {
class App;
}
class CliContext;

void addSearchCommand(CLI::App& app, CliContext& context);
