#pragma once

namespace CLI {
class App;
}
class CliContext;

void addAnalyzeCommand(CLI::App& app, CliContext& context);
