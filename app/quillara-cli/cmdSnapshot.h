#pragma once

namespace CLI {
class App;
}
class CliContext;

// quillara-cli snapshot URL [--name NAME] [--auto-delete] [--keep-scripts] [--json] and snapshots [--json].
void addSnapshotCommands(CLI::App& app, CliContext& context);
