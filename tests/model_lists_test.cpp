// The per-model lists the public header and the README copy from the model
// table and from the simulated instrument's personalities. Each list is read
// out of the text and compared with what the table says, so a model added to,
// removed from or moved in either one fails here until the other follows.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "calibration/EepromMap.h"
#include "core/Models.h"
#include "sim/Models.h"

using namespace tessok;
using tessok::test::ReadFile;

namespace {

using ModelSet = std::set<std::uint32_t>;

// A list of models as the texts write one: "7592", "7780 and 7686",
// "7592, 7621, 7766 and 7837", "7653 or 7746".
const std::string kModelList = R"(\d{4}(?:(?:,? and |,? or |, )\d{4})*)";

std::string SourceText(const std::string& relative) {
  const std::filesystem::path path = std::filesystem::path(TESSOK_SOURCE_DIR) / relative;
  EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
  return ReadFile(path);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The text with the comment markers of each line dropped and every run of
// white space (line ends included) made one space, so a phrase reads the same
// wherever the lines wrap.
std::string Flatten(const std::string& text) {
  std::string joined;
  for (std::string line : Lines(text)) {
    line = std::regex_replace(line, std::regex(R"(^\s*(/\*+|\*/|\*(?=\s|$))?)"), "");
    joined += line + ' ';
  }
  return Trim(std::regex_replace(joined, std::regex(R"(\s+)"), " "));
}

// The four-digit numbers of a text in their order: the model numbers it names
// (a hexadecimal constant such as 0x4000 is no model).
std::vector<std::uint32_t> ModelNumbersIn(const std::string& text) {
  std::vector<std::uint32_t> models;
  static const std::regex number(R"(\b\d{4}\b)");
  for (std::sregex_iterator it(text.begin(), text.end(), number), end; it != end; ++it) {
    models.push_back(static_cast<std::uint32_t>(std::stoul(it->str())));
  }
  return models;
}

ModelSet ModelsIn(const std::string& text) {
  const std::vector<std::uint32_t> models = ModelNumbersIn(text);
  return ModelSet(models.begin(), models.end());
}

// The text with every parenthesised remark dropped.
std::string WithoutRemarks(const std::string& text) { return std::regex_replace(text, std::regex(R"(\([^)]*\))"), ""); }

// Every row of the model table. Identification keys the table by register 20,
// a 16-bit word, so these are every row a board can select.
std::vector<const ModelInfo*> TableRows() {
  std::vector<const ModelInfo*> rows;
  for (std::uint32_t model = 0; model <= 0xFFFF; ++model) {
    if (const ModelInfo* row = FindModel(model)) rows.push_back(row);
  }
  EXPECT_GT(rows.size(), 1u);
  for (const ModelInfo* row : rows) {
    // The lists below are read as four-digit numbers.
    EXPECT_TRUE(row->model >= 1000 && row->model <= 9999) << row->model;
  }
  return rows;
}

struct TextRow {
  std::string label;   // the first column
  std::string models;  // the models column, its wrapped lines joined
};

// A table of a comment block, by its heading line: the first column headed
// `labelHead`, then `modelsHead`, then (unless empty) `nextHead`. A row starts
// on a line with text in the first column; the lines below with that column
// blank continue its models column. The table ends at the first line with
// nothing after the comment's star.
std::vector<TextRow> CommentTable(const std::vector<std::string>& lines, const std::string& labelHead,
                                  const std::string& modelsHead, const std::string& nextHead) {
  const std::regex heading(R"(^ \*\s+)" + labelHead + R"(\s{2,})" + modelsHead +
                           (nextHead.empty() ? std::string(R"(\s*)") : R"(\s{2,})" + nextHead + ".*"));
  std::size_t at = lines.size();
  int headings = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (std::regex_match(lines[i], heading)) {
      at = i;
      ++headings;
    }
  }
  EXPECT_EQ(headings, 1) << "heading \"" << labelHead << "  " << modelsHead << "\"";
  if (headings != 1) return {};

  const std::string& head = lines[at];
  const std::size_t labelCol = head.find(labelHead);
  const std::size_t modelsCol = head.find(modelsHead, labelCol + labelHead.size());
  const std::size_t endCol = nextHead.empty() ? std::string::npos : head.find(nextHead, modelsCol);
  auto column = [](const std::string& line, std::size_t from, std::size_t to) {
    if (line.size() <= from) return std::string();
    return Trim(line.substr(from, to == std::string::npos ? std::string::npos : to - from));
  };

  std::vector<TextRow> rows;
  for (std::size_t i = at + 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.starts_with(" *") || Trim(line.substr(2)).empty()) break;
    const std::string label = column(line, labelCol, modelsCol);
    const std::string models = column(line, modelsCol, endCol);
    if (!label.empty()) {
      rows.push_back({label, models});
    } else {
      EXPECT_FALSE(rows.empty()) << "a continuation line before the first row: " << line;
      if (!rows.empty()) rows.back().models += ' ' + models;
    }
  }
  EXPECT_FALSE(rows.empty()) << "no rows under \"" << head << "\"";
  return rows;
}

// The one match of `pattern` in `text`, or an empty match (and a failure).
std::smatch OnlyMatch(const std::string& text, const std::regex& pattern, const std::string& what) {
  std::smatch found;
  int count = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it, ++count) found = *it;
  EXPECT_EQ(count, 1) << what;
  return count == 1 ? found : std::smatch();
}

// The traits of a board of `model` with `channels` channels and register 31
// reading `option31`, every other option word 0.
BoardTraits Traits(std::uint32_t model, std::int32_t channels, std::uint32_t option31 = 0) {
  BoardInputs in{};
  in.model = model;
  in.channelCount = channels;
  in.option31 = option31;
  return MakeBoardTraits(in);
}

const char* LayoutName(LevelLayout layout) {
  switch (layout) {
    case LevelLayout::Generic: return "generic";
    case LevelLayout::Swing: return "swing";
    case LevelLayout::Alt: return "alt";
    case LevelLayout::Alt7: return "alt7";
  }
  return "?";
}

}  // namespace

// "channels  models": every model of the table in the row of its channel
// count, "4 or 8" for a model whose eight-channel rule can double it, and the
// default count in the row of "every model not listed".
TEST(ModelLists, HeaderChannelTableMatchesModelTable) {
  std::map<std::uint32_t, std::string> expected;
  for (const ModelInfo* row : TableRows()) {
    std::string label = std::to_string(row->channels);
    if (row->eightChannel != EightChannelRule::None && row->channels != 8) label += " or 8";
    expected[row->model] = label;
  }

  std::map<std::uint32_t, std::string> listed;
  std::vector<std::string> defaultRows;
  for (const TextRow& row : CommentTable(Lines(SourceText("include/tessok/tessok.h")), "channels", "models", "")) {
    // The remarks in parentheses say when a count applies, not which models.
    for (std::uint32_t model : ModelsIn(WithoutRemarks(row.models))) {
      EXPECT_EQ(listed.count(model), 0u) << model << " is in two rows";
      listed[model] = row.label;
    }
    if (row.models.find("every model not listed") != std::string::npos) defaultRows.push_back(row.label);
  }
  EXPECT_EQ(listed, expected) << "the header's channel table: model -> channel count";
  EXPECT_EQ(defaultRows, std::vector<std::string>{std::to_string(kDefaultModel.channels)})
      << "the row of every model not listed";
}

// "N entries on ...": the models whose channel map has more entries than they
// have channels, all with N entries.
TEST(ModelLists, HeaderMapEntriesMatchModelTable) {
  std::map<std::uint32_t, int> expected;
  for (const ModelInfo* row : TableRows()) {
    if (row->mapEntries != row->channels) expected[row->model] = row->mapEntries;
  }

  const std::string header = Flatten(SourceText("include/tessok/tessok.h"));
  const std::smatch m = OnlyMatch(header, std::regex(R"((\d+) entries on ()" + kModelList + ")"), "\"N entries on\"");
  std::map<std::uint32_t, int> listed;
  if (!m.empty()) {
    for (std::uint32_t model : ModelsIn(m[2].str())) listed[model] = std::stoi(m[1].str());
  }
  EXPECT_EQ(listed, expected) << "the header's channel map: model -> entries";
}

// "layout  models  per lane": the models of each stored layout, among them a
// model whose option register switches it to another layout (in both rows);
// the generic row names none.
TEST(ModelLists, HeaderLevelLayoutTableMatchesModelTable) {
  std::map<std::string, ModelSet> expected;
  for (LevelLayout layout : {LevelLayout::Generic, LevelLayout::Swing, LevelLayout::Alt, LevelLayout::Alt7}) {
    expected[LayoutName(layout)];
  }
  for (const ModelInfo* row : TableRows()) {
    // Register 31 is the option word that can change the stored layout; try
    // every value it can read.
    for (std::uint32_t option31 = 0; option31 <= 0xFFFF; ++option31) {
      const LevelLayout layout = Traits(row->model, row->channels, option31).levelLayout;
      if (layout != LevelLayout::Generic) expected[LayoutName(layout)].insert(row->model);
    }
  }

  std::map<std::string, ModelSet> listed;
  for (const TextRow& row :
       CommentTable(Lines(SourceText("include/tessok/tessok.h")), "layout", "models", "per lane")) {
    EXPECT_EQ(listed.count(row.label), 0u) << "two rows for " << row.label;
    listed[row.label] = ModelsIn(row.models);
  }
  EXPECT_EQ(listed, expected) << "the header's level-layout table: layout -> models";
}

// The status table's second base: the models that keep every lane's items
// there, then the eight-channel boards that keep lanes 4 to 7 there.
TEST(ModelLists, HeaderStatusSecondBaseMatchesModelTable) {
  ModelSet everyLane;
  ModelSet fromLane4;
  for (const ModelInfo* row : TableRows()) {
    if (row->statusSecondBase) everyLane.insert(row->model);
    if (Traits(row->model, 8).statusSecondBaseFromLane4) {
      fromLane4.insert(row->model);
    }
  }

  std::ostringstream base;
  base << "0x" << std::uppercase << std::hex << eeprom::kStatusBaseSecond;
  const std::string header = Flatten(SourceText("include/tessok/tessok.h"));
  const std::smatch m = OnlyMatch(header,
                                  std::regex("at " + base.str() + R"( \+ [^)]*? on ()" + kModelList +
                                             R"()[^)]*? eight-channel ()" + kModelList + ")"),
                                  "the models at the second base " + base.str());
  EXPECT_EQ(m.empty() ? ModelSet{} : ModelsIn(m[1].str()), everyLane) << "every lane at the second base";
  EXPECT_EQ(m.empty() ? ModelSet{} : ModelsIn(m[2].str()), fromLane4) << "lanes 4 to 7 at the second base";
}

// README's "- **Model**: one of ...": the models tessok-sim has a personality
// for, in its order.
TEST(ModelLists, ReadmeSimModelsMatchPersonalities) {
  std::vector<std::uint32_t> expected;
  for (std::uint16_t model : sim::KnownModels()) expected.push_back(model);

  const std::string readme = Flatten(SourceText("README.md"));
  const std::smatch m = OnlyMatch(readme, std::regex(R"(- \*\*Model\*\*: one of ()" + kModelList + ")"),
                                  "README's \"- **Model**: one of\"");
  const std::vector<std::uint32_t> listed = m.empty() ? std::vector<std::uint32_t>{} : ModelNumbersIn(m[1].str());
  EXPECT_EQ(listed, expected) << "README's models of tessok-sim";
}
