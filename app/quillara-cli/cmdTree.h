#pragma once

namespace CLI {
class App;
}
class CliContext;

void addTreeCommand(CLI::App& app, CliContext& context);
