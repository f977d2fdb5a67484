#pragma once

#include <QToolBar>

#include <functional>

// The buttons of the rebar's first band: show in browser, stop, reload, move up, move down and
// properties. Each carries the menu identifier that the command table translates.
class toolToolBar : public QToolBar {
    Q_OBJECT
public:
    using Runner = std::function<void(int menuId)>;
    toolToolBar(const Runner& run, QWidget* parent = nullptr);
    ~toolToolBar() override;
};
