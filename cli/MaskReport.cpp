#include "MaskReport.h"

#include "JsonText.h"
#include "numbers/NumberText.h"

namespace {

constexpr int kNameWidth = 8;
constexpr int kValueWidth = 10;
constexpr int kDecimals = 2;
constexpr int kShareDecimals = 0;

const char* statusName(LimitStatus status)
{
    switch (status) {
    case LimitStatus::Pass:
        return "pass";
    case LimitStatus::Over:
        return "over";
    case LimitStatus::Unresolved:
        break;
    }
    return "unresolved";
}

/** Characters on screen: UTF-8 continuation bytes take no column. */
std::size_t columnsOf(const std::string& text)
{
    constexpr unsigned char kContinuationMask = 0xC0;
    constexpr unsigned char kContinuation = 0x80;
    std::size_t columns = 0;
    for (const char c : text) {
        columns += (static_cast<unsigned char>(c) & kContinuationMask) != kContinuation ? 1 : 0;
    }
    return columns;
}

void appendLeft(std::string& line, const std::string& text, int width)
{
    line += text;
    const std::size_t columns = columnsOf(text);
    if (columns < static_cast<std::size_t>(width)) {
        line.append(static_cast<std::size_t>(width) - columns, ' ');
    }
}

void appendValue(std::string& line, double value, int decimals)
{
    appendFixed(line, value, kValueWidth, decimals);
}

void appendAbsent(std::string& line)
{
    line.append(kValueWidth - 1, ' ');
    line += '-';
}

/** One line of the table; level and margin absent when the order could not be measured. */
void appendRow(std::string& text, const std::string& name, double level, double limit,
               LimitStatus status)
{
    appendLeft(text, name, kNameWidth);
    if (status == LimitStatus::Unresolved) {
        appendAbsent(text);
        appendValue(text, limit, kDecimals);
        appendAbsent(text);
        appendAbsent(text);
    } else {
        appendValue(text, level, kDecimals);
        appendValue(text, limit, kDecimals);
        appendValue(text, limit - level, kDecimals);
        appendValue(text, shareOfLimit(level, limit), kShareDecimals);
    }
    text += "   ";
    text += statusName(status);
    text += '\n';
}

void appendJsonField(std::string& text, const char* name, double value)
{
    text += '"';
    text += name;
    text += "\":";
    appendJsonNumber(text, value);
}

}  // namespace

std::string maskCheckText(const MaskCheck& check)
{
    std::string text = "Mask:      " + check.title + "\n\n";
    appendLeft(text, "Order", kNameWidth);
    text += "   Level %   Limit %    Margin  % of limit\n";
    for (const OrderCheck& order : check.orders) {
        appendRow(text, orderName(order.order), order.level, order.limit, order.status);
    }
    if (check.thd) {
        appendRow(text, thdName(check.thd->limit.highestOrder), check.thd->level,
                  check.thd->limit.limit, check.thd->status);
    }
    return text + '\n' + verdictLine(check) + '\n';
}

void appendMaskCheckJson(std::string& text, const MaskCheck& check)
{
    text += "\"mask\":";
    appendJsonString(text, check.title);
    text += ",\"orders\":[";
    for (std::size_t i = 0; i < check.orders.size(); ++i) {
        const OrderCheck& order = check.orders[i];
        text += i == 0 ? "{" : ",{";
        if (order.status == LimitStatus::Unresolved) {
            text += "\"level\":null,";
        } else {
            appendJsonField(text, "level", order.level);
            text += ',';
        }
        appendJsonField(text, "limit", order.limit);
        text += ',';
        appendJsonField(text, "order", order.order);
        text += ",\"resolvingCycles\":";
        text += order.resolvingCycles ? formatInt(*order.resolvingCycles) : "null";
        text += ",\"status\":\"";
        text += statusName(order.status);
        text += "\"}";
    }
    text += "],\"passed\":";
    text += check.passed() ? "true" : "false";
    text += ",\"thd\":";
    if (check.thd) {
        text += "{\"highestOrder\":" + formatInt(check.thd->limit.highestOrder) + ',';
        appendJsonField(text, "level", check.thd->level);
        text += ',';
        appendJsonField(text, "limit", check.thd->limit.limit);
        text += ",\"status\":\"";
        text += statusName(check.thd->status);
        text += "\"}";
    } else {
        text += "null";
    }
    text += ",\"verdict\":";
    appendJsonString(text, verdictLine(check));
}

std::string builtInMasksText()
{
    std::string text;
    for (const LimitMask& mask : builtInMasks()) {
        text += text.empty() ? "" : "\n";
        text += mask.name + ": " + mask.title + '\n';
        text += mask.inAmperes ? "  limits in A (divided by --fundamental-rms for %)\n" : "";
        for (const OrderLimit& limit : mask.orders) {
            std::string line = "  ";
            appendLeft(line, orderName(limit.order), kNameWidth);
            appendFixed(line, limit.limit, kValueWidth, mask.inAmperes ? 3 : kDecimals);
            text += line + (mask.inAmperes ? " A\n" : " %\n");
        }
        if (mask.thd) {
            std::string line = "  ";
            appendLeft(line, thdName(mask.thd->highestOrder), kNameWidth);
            appendFixed(line, mask.thd->limit, kValueWidth, kDecimals);
            text += line + " %\n";
        }
    }
    return text;
}
