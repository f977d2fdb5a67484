#pragma once

#include <string>

class tviCabinetCheck;

// The report of one link check in the formats of `check --format`: text for people, JSON for
// scripts, JUnit XML for CI systems, Markdown for a pull request or an issue. Texts from the
// core (Shift_JIS) come out in UTF-8.
class CliCheckReport {
public:
    enum class Format { text, json, junit, markdown };

    CliCheckReport(const tviCabinetCheck& check, std::string cabinetName, double seconds);

    static bool parseFormat(const std::string& name, Format& format);
    std::string render(Format format) const;
    // "N items checked: L loaded, F failed (G gone: 404 or 410), U not checked, M moved, R retried, T s"
    std::string summaryLine() const;

    std::string text() const;
    std::string json() const;
    std::string junit() const;
    std::string markdown() const;

private:
    const tviCabinetCheck& check_;
    std::string cabinetName_;
    double seconds_;
};
