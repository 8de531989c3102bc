// The check's two renderings: text for a person, one JSON object for scripts.
#include <cstdio>

#include "CheckFacts.h"

namespace {

const char* const kOutcomes[] = {"would_flash", "refused_at_start_up", "usage_error", "refused_by_upgrade_checks",
                                 "image_rejected"};
const char* const kOutcomeWords[] = {"the upgrade would start and succeed", "refused at start-up", "usage error",
                                     "refused by the Upgrade command's checks", "image rejected by the engine"};

std::string Hex4(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value) & 0xFFFF);
    return text;
}

// A JSON string. The program's texts are 8-bit Windows strings, so a byte
// above 7Fh is taken as the Latin-1 character of that number: the object
// stays valid UTF-8 whatever a list or image name holds.
std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string Bool(bool value) { return value ? "true" : "false"; }
std::string Tristate(int value) { return value < 0 ? "null" : Bool(value != 0); }
std::string RowOrNull(int row) { return row > 0 ? std::to_string(row) : "null"; }
std::string HexOrNull(int value) { return value < 0 ? "null" : Quote(Hex4(value)); }

// Members written in order, with commas between them.
class JsonObject {
public:
    JsonObject& Add(const char* name, const std::string& json) {
        m_text += (m_text.empty() ? "{" : ", ") + Quote(name) + ": " + json;
        return *this;
    }
    std::string Done() const { return m_text.empty() ? "{}" : m_text + "}"; }

private:
    std::string m_text;
};

template <typename T, typename F>
std::string Array(const std::vector<T>& items, F each) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + each(items[i]);
    return out + "]";
}

}  // namespace

std::string RenderCheckText(const CheckFacts& f) {
    std::string out = "Drive    : \"" + f.id + "\" revision \"" + f.revision + "\"\n";
    out += "List     : " + f.listPath + "\n";
    out += "MARROWFIN would show:\n";
    for (const auto& line : f.shown) out += "  " + line.where + ": " + line.text + "\n";
    for (const auto& note : f.notes) out += note + "\n";
    if (f.verbose && !f.commandsSent.empty()) out += "Commands sent:\n" + f.commandsSent + "sum.txt:\n" + f.sumTrace;
    for (const auto& why : f.why) out += "Why      : " + why + "\n";
    out += f.exit == 0 ? "Result   : the upgrade would start and succeed\n"
                       : "Result   : MARROWFIN would refuse or the run would fail\n";
    out += "Exit     : " + std::to_string(f.exit) + ", " + kOutcomeWords[f.exit] + "\n";
    return out;
}

std::string RenderCheckJson(const CheckFacts& f) {
    JsonObject list;
    list.Add("path", Quote(f.listPath))
        .Add("found", Bool(f.listFound))
        .Add("byte_order_mark", Bool(f.byteOrderMark))
        .Add("rows", std::to_string(f.rows))
        .Add("ignored_rows", Array(f.ignoredRows, [](const IgnoredRow& r) {
                 return JsonObject().Add("line", std::to_string(r.line)).Add("text", Quote(r.text)).Done();
             }));
    JsonObject upgrade;
    upgrade.Add("confirmation", Bool(f.confirmation))
        .Add("revision_row", RowOrNull(f.revisionRow))
        .Add("row_listed", f.revisionRow > 0 ? Bool(f.revisionRow <= f.rows) : "null")
        .Add("image_path", f.imagePath.empty() ? "null" : Quote(f.imagePath))
        .Add("image_kind", f.imageKind.empty() ? "null" : Quote(f.imageKind));
    JsonObject image;
    image.Add("identification_found", Tristate(f.identificationFound))
        .Add("revision_found", Tristate(f.revisionFound))
        .Add("check_sum", HexOrNull(f.checkSum));
    JsonObject commands;
    commands.Add("chunks", std::to_string(f.chunks))
        .Add("chunk_size", "4096")
        .Add("header_sum", HexOrNull(f.headerSum))
        .Add("save_sent", Bool(f.saved))
        .Add("wait_skipped_s", std::to_string(f.waitSkippedS));
    JsonObject top;
    top.Add("drive", JsonObject().Add("id", Quote(f.id)).Add("revision", Quote(f.revision)).Done())
        .Add("list", list.Done())
        .Add("shown", Array(f.shown, [](const ShownLine& s) {
                 return JsonObject().Add("where", Quote(s.where)).Add("text", Quote(s.text)).Done();
             }))
        .Add("start_up", JsonObject().Add("matched_row", RowOrNull(f.startUpRow))
                             .Add("upgrade_enabled", Bool(f.startUpRow > 0 || !f.listFound))
                             .Done())
        .Add("upgrade", upgrade.Done())
        .Add("image", image.Done())
        .Add("commands", commands.Done())
        .Add("why", Array(f.why, [](const std::string& w) { return Quote(w); }));
    if (f.verbose) top.Add("commands_sent", Quote(f.commandsSent)).Add("sum_txt", Quote(f.sumTrace));
    top.Add("result", Quote(kOutcomes[f.exit])).Add("exit_code", std::to_string(f.exit));
    return top.Done() + "\n";
}
