#include "MaskReport.h"

#include <algorithm>

#include "JsonText.h"
#include "numbers/NumberText.h"

namespace {

constexpr int kNameWidth = 8;
constexpr int kValueWidth = 10;
constexpr int kDecimals = 2;
constexpr int kAmpereDecimals = 3;

void appendJsonField(std::string& text, const char* name, double value)
{
    text += '"';
    text += name;
    text += "\":";
    appendJsonNumber(text, value);
    text += ',';
}

/** One limit's members: level (null when unresolved), limit, margin in the mask's unit. */
void appendLimitJson(std::string& text, const MaskCheck& check, double level, double limit,
                     LimitStatus status)
{
    const bool measured = status != LimitStatus::Unresolved;
    if (measured) {
        appendJsonField(text, "level", check.units.inUnit(level));
        appendJsonField(text, "levelPercent", level);
    } else {
        text += "\"level\":null,\"levelPercent\":null,";
    }
    appendJsonField(text, "limit", check.units.inUnit(limit));
    if (measured) {
        appendJsonField(text, "margin", check.units.inUnit(limit) - check.units.inUnit(level));
    } else {
        text += "\"margin\":null,";
    }
}

void appendStatusJson(std::string& text, const MaskCheck& check, LimitStatus status)
{
    text += "\"status\":\"";
    text += statusName(status);
    text += "\",\"unit\":";
    appendJsonString(text, unitSymbol(check.units.unit));
}

void appendLeft(std::string& line, const std::string& text, int width)
{
    line += text;
    line.append(text.size() < static_cast<std::size_t>(width) ? width - text.size() : 1, ' ');
}

}  // namespace

void appendMaskCheckJson(std::string& text, const MaskCheck& check)
{
    text += "\"mask\":";
    appendJsonString(text, check.title);
    text += ",\"measurement\":";
    appendJsonString(text, check.measurement);
    text += ",\"notes\":[";
    for (std::size_t i = 0; i < check.notes.size(); ++i) {
        text += i == 0 ? "" : ",";
        appendJsonString(text, noteText(check, check.notes[i]));
    }
    text += "],\"orders\":[";
    for (std::size_t i = 0; i < check.orders.size(); ++i) {
        const OrderCheck& order = check.orders[i];
        text += i == 0 ? "{" : ",{";
        appendLimitJson(text, check, order.level, order.limit, order.status);
        appendJsonField(text, "order", order.order);
        text += "\"resolvingCycles\":";
        text += order.resolvingCycles ? formatInt(*order.resolvingCycles) : "null";
        text += ',';
        appendStatusJson(text, check, order.status);
        text += '}';
    }
    text += "],\"passed\":";
    text += check.passed() ? "true" : "false";
    text += ",\"refusal\":";
    if (check.refusal.empty()) {
        text += "null";
    } else {
        appendJsonString(text, check.refusal);
    }
    text += ",\"thd\":";
    if (check.thd) {
        text += "{\"highestOrder\":" + formatInt(check.thd->limit.highestOrder) + ',';
        appendLimitJson(text, check, check.thd->level, check.thd->limit.limit, check.thd->status);
        text += "\"name\":";
        appendJsonString(text, thdName(check.thd->limit));
        text += ',';
        appendStatusJson(text, check, check.thd->status);
        text += '}';
    } else {
        text += "null";
    }
    text += ",\"verdict\":";
    appendJsonString(text, verdictLine(check));
}

std::string builtInMasksText()
{
    std::string text;
    for (const BuiltInMask& mask : builtInMasks()) {
        const LimitMask& table = mask.table;
        const bool amperes = table.unit == LimitUnit::Amperes;
        text += text.empty() ? "" : "\n";
        text += mask.name + ": " + mask.title + '\n';
        for (const MaskParameter parameter : mask.parameters) {
            text += "  needs " + parameterName(parameter) + '\n';
        }
        if (!mask.formulas.empty()) {
            text += "  limits as listed, " + mask.formulas + '\n';
        }
        const std::string unit =
            ' ' + (mask.tableUnit.empty() ? unitSymbol(table.unit) : mask.tableUnit) + '\n';
        for (const OrderLimit& limit : table.orders) {
            std::string line = "  ";
            appendLeft(line, orderName(limit.order), kNameWidth);
            appendFixed(line, limit.limit, kValueWidth, amperes ? kAmpereDecimals : kDecimals);
            text += line + unit;
        }
        if (table.thd) {
            std::string line = "  ";
            appendLeft(line, thdName(*table.thd), kNameWidth);
            appendFixed(line, table.thd->limit, kValueWidth, kDecimals);
            text += line + unit;
        }
    }
    return text;
}
