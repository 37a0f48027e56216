#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <libintl.h>
#include <typeinfo>

#include "host/elabel.h"
#include "install/imagedir.h"
#include "plugin/globals.h"
#include "tests/support.h"

namespace {

void put32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>(value >> shift & 0xff);
}

// A message catalogue in the binary form gettext reads; PAIRS sorted by
// their original text.
std::string catalogue(const std::vector<std::pair<std::string, std::string>>& pairs)
{
    const uint32_t count = pairs.size(), header = 28, tables = header + 16 * count;
    std::string out, strings;
    for (uint32_t value : {0x950412deU, 0U, count, header, header + 8 * count, 0U, tables})
        put32(out, value);
    std::string originals, translations;
    auto add = [&](std::string& table, const std::string& text) {
        put32(table, text.size());
        put32(table, tables + strings.size());
        strings += text + '\0';
    };
    for (const auto& pair : pairs)
        add(originals, pair.first);
    for (const auto& pair : pairs)
        add(translations, pair.second);
    return out + originals + translations + strings;
}

TEST(ImagedirTranslation, TheTwoCatalogueTextsAreTranslated)
{
    writeFile("/tmp/locale/xx/LC_MESSAGES/messages.mo",
        catalogue({{"Directory:", "Verzeichnis:"}, {"available Image", "Images da"},
            {"copy from /var/tuxbox/config/enigma", "aus /var/tuxbox/config/enigma"}}));
    setenv("LANGUAGE", "xx", 1);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    bindtextdomain("messages", "/tmp/locale");
    TestStore store;
    fd = 20;

    Imagedir dialog;

    std::vector<std::string> labels;
    for (eWidget* child : dialog.getChildren()) {
        if (typeid(*child) == typeid(eLabel))
            labels.push_back(child->getText());
        if (typeid(*child) == typeid(eCheckbox)) {
            EXPECT_EQ(child->getHelpText(), "aus /var/tuxbox/config/enigma");
        }
    }
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[0], "Images da");
    EXPECT_EQ(labels[1], "Directory:");
}

} // namespace
