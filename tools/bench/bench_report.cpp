#include "bench_report.h"

#include <cstdio>
#include <sstream>

namespace bench {

namespace {

std::string formatValue(std::int64_t value, const std::string &unit)
{
    char text[64];
    if (unit != "ns") {
        std::snprintf(text, sizeof text, "%lld %s", static_cast<long long>(value), unit.c_str());
        return text;
    }
    if (value < 10000)
        std::snprintf(text, sizeof text, "%lld ns", static_cast<long long>(value));
    else if (value < 10000000)
        std::snprintf(text, sizeof text, "%.1f us", double(value) / 1e3);
    else
        std::snprintf(text, sizeof text, "%.1f ms", double(value) / 1e6);
    return text;
}

std::string formatSummary(const Summary &summary, const Figure &figure)
{
    if (!figure.distribution)
        return formatValue(summary.max, figure.unit);
    return "p50 " + formatValue(summary.p50, figure.unit) + ", p99 " + formatValue(summary.p99, figure.unit) + ", max "
           + formatValue(summary.max, figure.unit);
}

std::string jsonString(const std::string &text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string jsonSummary(const Summary &summary, bool distribution)
{
    std::ostringstream out;
    if (distribution)
        out << "{\"count\": " << summary.count << ", \"p50\": " << summary.p50 << ", \"p99\": " << summary.p99
            << ", \"max\": " << summary.max << "}";
    else
        out << summary.max;
    return out.str();
}

}  // namespace

double ratioOf(const Figure &figure)
{
    const std::int64_t base = figure.distribution ? figure.baseline.p99 : figure.baseline.max;
    const std::int64_t value = figure.distribution ? figure.measured.p99 : figure.measured.max;
    return base > 0 ? double(value) / double(base) : 0.0;
}

std::string formatTable(const Report &report)
{
    std::ostringstream out;
    out << "Machine: " << report.cpu << ", " << report.cores << " cores; commit " << report.commit << "; "
        << report.date << "\n";
    for (const Figure &figure : report.figures) {
        out << "\n" << figure.name << "\n";
        out << "    measured  " << formatSummary(figure.measured, figure) << "\n";
        if (!figure.baselineName.empty()) {
            char ratio[32];
            std::snprintf(ratio, sizeof ratio, "%.2f", ratioOf(figure));
            out << "    baseline  " << formatSummary(figure.baseline, figure) << "  (" << figure.baselineName << ")\n";
            out << "    ratio     " << (ratioOf(figure) > 0 ? ratio : "-") << (figure.distribution ? " x on p99" : " x")
                << "\n";
        }
        if (!figure.note.empty())
            out << "    note      " << figure.note << "\n";
        if (!figure.target.empty())
            out << "    target    " << figure.target << ": "
                << (figure.targetMet ? (*figure.targetMet ? "met" : "MISSED") : "-") << "\n";
    }
    out << "\nHow: " << report.method << "\n";
    return out.str();
}

std::string formatJson(const Report &report)
{
    std::ostringstream out;
    out << "{\n  \"cpu\": " << jsonString(report.cpu) << ",\n  \"cores\": " << report.cores
        << ",\n  \"commit\": " << jsonString(report.commit) << ",\n  \"date\": " << jsonString(report.date)
        << ",\n  \"method\": " << jsonString(report.method) << ",\n  \"figures\": [";
    for (std::size_t i = 0; i < report.figures.size(); ++i) {
        const Figure &figure = report.figures[i];
        out << (i ? "," : "") << "\n    {\"name\": " << jsonString(figure.name)
            << ", \"unit\": " << jsonString(figure.unit)
            << ", \"measured\": " << jsonSummary(figure.measured, figure.distribution);
        if (!figure.baselineName.empty())
            out << ", \"baseline\": " << jsonSummary(figure.baseline, figure.distribution)
                << ", \"baseline_name\": " << jsonString(figure.baselineName) << ", \"ratio\": " << ratioOf(figure);
        if (!figure.note.empty())
            out << ", \"note\": " << jsonString(figure.note);
        if (!figure.target.empty())
            out << ", \"target\": " << jsonString(figure.target)
                << ", \"target_met\": " << (figure.targetMet ? (*figure.targetMet ? "true" : "false") : "null");
        out << "}";
    }
    out << "\n  ]\n}\n";
    return out.str();
}

}  // namespace bench
