// The legend of the display fields against the three things it describes:
// the field list, the layout's pages, and the copies the decoders and the
// geodetic conversion actually make.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/fake_form.h"
#include "support/telemetry_frames.h"
#include "telemetry/field_legend.h"

namespace telemetry::testing {
namespace {

using CopyPair = std::pair<Field, Field>;  // source, copy

std::set<CopyPair> legendCopies()
{
    std::set<CopyPair> pairs;
    for (const FieldLegend& entry : kFieldLegend)
        if (entry.copy)
            pairs.insert({entry.field, *entry.copy});
    return pairs;
}

std::string namesOf(const std::set<CopyPair>& pairs)
{
    std::string out;
    for (const auto& [source, copy] : pairs)
        out += std::string(fieldName(source)) + "->" + fieldName(copy) + " ";
    return out;
}

TEST(FieldLegend, HasOneEntryPerFieldAtTheFieldsIndex)
{
    for (std::size_t i = 0; i < kFieldLegend.size(); ++i) {
        const Field field = static_cast<Field>(i);
        EXPECT_EQ(kFieldLegend[i].field, field) << "entry " << i << " is " << fieldName(kFieldLegend[i].field)
                                                << ", the list has " << fieldName(field) << " there";
        EXPECT_EQ(&legendOf(field), &kFieldLegend[i]);
        EXPECT_NE(std::string(kFieldLegend[i].shows), "") << fieldName(field);
    }
}

// Every operator-page field is the copy of exactly one service-page field
// and shows the same thing in the same unit; no copy is copied again.
TEST(FieldLegend, EachOperatorFieldCopiesOneServiceField)
{
    for (const FieldLegend& entry : kFieldLegend) {
        int sources = 0;
        for (const FieldLegend& other : kFieldLegend) {
            if (other.copy != entry.field)
                continue;
            ++sources;
            EXPECT_EQ(other.page, Page::Service) << fieldName(other.field);
            EXPECT_EQ(std::string(other.shows), entry.shows) << fieldName(entry.field);
            EXPECT_EQ(std::string(other.unit), entry.unit) << fieldName(entry.field);
            EXPECT_EQ(std::string(other.caption), entry.caption) << fieldName(entry.field);
            EXPECT_EQ(std::string(other.key), entry.key) << fieldName(entry.field);
        }
        if (entry.page == Page::Operator) {
            EXPECT_EQ(sources, 1) << fieldName(entry.field);
            EXPECT_FALSE(entry.copy) << fieldName(entry.field);
        } else {
            EXPECT_EQ(sources, 0) << fieldName(entry.field);
        }
    }
}

// A field whose value a calibration editor also shows names that editor in
// its entry, "(Edit1)"; no other entry names one.
TEST(FieldLegend, NamesTheCalibrationEditorOfItsField)
{
    for (const FieldLegend& entry : kFieldLegend) {
        const std::string shows = entry.shows;
        std::optional<Editor> editor;
        for (int i = 0; i < kEditorCount; ++i)
            if (editorSource(static_cast<Editor>(i)) == entry.field)
                editor = static_cast<Editor>(i);
        if (editor)
            EXPECT_NE(shows.find(std::string("(") + editorName(*editor) + ")"), std::string::npos)
                << fieldName(entry.field) << ": " << shows;
        else
            EXPECT_EQ(shows.find("(Edit"), std::string::npos) << fieldName(entry.field) << ": " << shows;
    }
}

// The page of each entry is the page the layout puts the control on: the
// control lies inside the last page opened before it in TForm1.ui.
TEST(FieldLegend, PagesAreThoseOfTheLayout)
{
    std::ifstream file(KALVI7_FORM_UI);
    ASSERT_TRUE(file) << KALVI7_FORM_UI;
    std::stringstream content;
    content << file.rdbuf();
    const std::string ui = content.str();

    const std::size_t operatorPage = ui.find("name=\"TabSheet2\"");
    const std::size_t servicePage = ui.find("name=\"TabSheet1\"");
    ASSERT_NE(operatorPage, std::string::npos);
    ASSERT_NE(servicePage, std::string::npos);

    for (const FieldLegend& entry : kFieldLegend) {
        const std::string name = std::string("name=\"") + fieldName(entry.field) + "\"";
        const std::size_t at = ui.find(name);
        ASSERT_NE(at, std::string::npos) << name;
        EXPECT_EQ(ui.find(name, at + 1), std::string::npos) << name << " twice";
        ASSERT_GT(at, std::min(operatorPage, servicePage)) << name << " outside the pages";
        const bool onOperatorPage = operatorPage > servicePage ? at > operatorPage : at < servicePage;
        EXPECT_EQ(entry.page, onOperatorPage ? Page::Operator : Page::Service) << name;
    }
}

// The labels of TForm1.ui with where they sit: enough of the layout to find
// the caption of a value, read without an XML library as the test above does.
struct UiLabel {
    std::string name, parent, text;
    int x = -1, y = -1;
};

std::string unescapeXml(std::string text)
{
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, character] : entities) {
        for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
            text.replace(at, std::string(entity).size(), character);
    }
    return text;
}

std::string attribute(const std::string& tag, const std::string& name)
{
    const std::string key = name + "=\"";
    const std::size_t at = tag.find(key);
    if (at == std::string::npos)
        return {};
    const std::size_t from = at + key.size();
    return tag.substr(from, tag.find('"', from) - from);
}

// The first <x>, <y> and <string> of a widget belong to its own geometry
// and text: child widgets come after a widget's properties.
std::vector<UiLabel> labelsOf(const std::string& ui)
{
    std::vector<UiLabel> labels;
    std::vector<std::pair<std::string, std::optional<std::size_t>>> open;  // name, label index
    std::size_t at = 0;
    auto valueOf = [&](const std::string& tag, std::size_t from,
                       std::size_t to) -> std::optional<std::string> {
        const std::size_t start = ui.find("<" + tag + ">", from);
        if (start == std::string::npos || start > to)
            return std::nullopt;
        const std::size_t begin = start + tag.size() + 2;
        return ui.substr(begin, ui.find("</" + tag + ">", begin) - begin);
    };
    for (;;) {
        const std::size_t openAt = ui.find("<widget ", at);
        const std::size_t closeAt = ui.find("</widget>", at);
        if (openAt == std::string::npos && closeAt == std::string::npos)
            break;
        if (openAt < closeAt) {
            const std::string tag = ui.substr(openAt, ui.find('>', openAt) - openAt);
            std::optional<std::size_t> index;
            if (attribute(tag, "class") == "QLabel") {
                UiLabel label;
                label.name = attribute(tag, "name");
                label.parent = open.empty() ? std::string() : open.back().first;
                // Up to its first child or its end, whichever comes first.
                const std::size_t end =
                    std::min(ui.find("<widget ", openAt + 1), ui.find("</widget>", openAt));
                if (const auto x = valueOf("x", openAt, end))
                    label.x = std::stoi(*x);
                if (const auto y = valueOf("y", openAt, end))
                    label.y = std::stoi(*y);
                if (const auto text = valueOf("string", openAt, end))
                    label.text = unescapeXml(*text);
                labels.push_back(label);
                index = labels.size() - 1;
            }
            open.emplace_back(attribute(tag, "name"), index);
            at = openAt + 1;
        } else {
            if (!open.empty())
                open.pop_back();
            at = closeAt + 1;
        }
    }
    return labels;
}

// A value's caption is the label on its row to its left: in the same group,
// at the same height, the nearest of the labels that are not values
// themselves. The copies on the operator page have captions of their own
// there, worded as their sources'.
TEST(FieldLegend, CaptionsAreTheLabelsBesideTheValues)
{
    std::ifstream file(KALVI7_FORM_UI);
    ASSERT_TRUE(file) << KALVI7_FORM_UI;
    std::stringstream content;
    content << file.rdbuf();
    const std::vector<UiLabel> labels = labelsOf(content.str());

    std::set<std::string> values;
    for (const FieldLegend& entry : kFieldLegend)
        values.insert(fieldName(entry.field));

    for (const FieldLegend& entry : kFieldLegend) {
        const auto value = std::find_if(labels.begin(), labels.end(),
                                        [&](const UiLabel& l) { return l.name == fieldName(entry.field); });
        ASSERT_NE(value, labels.end()) << fieldName(entry.field);
        ASSERT_GE(value->y, 0) << fieldName(entry.field);
        const UiLabel* caption = nullptr;
        for (const UiLabel& label : labels) {
            if (values.count(label.name) || label.parent != value->parent || label.y != value->y ||
                label.x < 0 || label.x >= value->x)
                continue;
            if (!caption || label.x > caption->x)
                caption = &label;
        }
        ASSERT_NE(caption, nullptr) << fieldName(entry.field) << " has no caption on its row";
        EXPECT_EQ(std::string(entry.caption), caption->text) << fieldName(entry.field);
        EXPECT_EQ(caption->text.back(), ':') << fieldName(entry.field);
    }
}

// Keys are for scripts: lower-case ASCII words, one a service field, the
// same for a copy as for its source.
TEST(FieldLegend, KeysAreUniqueAsciiNames)
{
    std::set<std::string> keys;
    for (const FieldLegend& entry : kFieldLegend) {
        const std::string key = entry.key;
        EXPECT_FALSE(key.empty()) << fieldName(entry.field);
        for (const char c : key) {
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')
                << fieldName(entry.field) << ": " << key;
        }
        if (entry.page == Page::Service) {
            EXPECT_TRUE(keys.insert(key).second) << key << " twice";
        }
    }
}

// A form that notes every copy made on it: a text written into a field
// right after it was read, unchanged, from another field.
class CopyRecorder : public FakeForm {
public:
    std::set<CopyPair> copies;

    std::string text(Field f) const override
    {
        lastRead_ = {f, FakeForm::text(f)};
        return lastRead_->second;
    }
    void setText(Field f, const std::string& text) override
    {
        if (lastRead_ && lastRead_->first != f && lastRead_->second == text)
            copies.insert({lastRead_->first, f});
        lastRead_.reset();
        FakeForm::setText(f, text);
    }
    void setEditText(Editor e, const std::string& text) override
    {
        lastRead_.reset();
        FakeForm::setEditText(e, text);
    }
    void setChecked(Box b, bool on) override
    {
        lastRead_.reset();
        FakeForm::setChecked(b, on);
    }

private:
    mutable std::optional<std::pair<Field, std::string>> lastRead_;
};

// Every packet, the watchdog, and a telemetry packet of a moving radiosonde
// so that the geodetic conversion writes every one of its fields with
// distinct texts: the copies made are exactly the legend's.
TEST(FieldLegend, CopiesAreTheOnesTheDecodersMake)
{
    CopyRecorder form;
    RxBody moving = telemetryBody();
    moving.i16(20, 1234).i16(22, -2345).i16(24, 567);

    dispatchFrame(telemetryBody(), form);
    dispatchFrame(moving, form);
    dispatchFrame(calibrationBody(), form);
    dispatchFrame(settingsBody(), form);
    dispatchFrame(stateBody(), form);
    Timer3Timer(form);
    dispatchFrame(moving, form);

    EXPECT_EQ(form.copies, legendCopies())
        << "made: " << namesOf(form.copies) << "\nlegend: " << namesOf(legendCopies());
    for (const auto& [source, copy] : legendCopies())
        EXPECT_EQ(form.field(copy), form.field(source)) << fieldName(copy);
}

}  // namespace
}  // namespace telemetry::testing
