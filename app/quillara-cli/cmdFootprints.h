#pragma once

namespace CLI {
class App;
}
class CliContext;

void addFootprintsCommand(CLI::App& app, CliContext& context);
