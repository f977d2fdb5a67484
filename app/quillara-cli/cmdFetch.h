#pragma once

namespace CLI {
class App;
}
class CliContext;

void addFetchCommand(CLI::App& app, CliContext& context);
