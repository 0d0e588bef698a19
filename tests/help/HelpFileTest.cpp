// The compiled help file, read the way an HTML Help viewer reads it (through chmlib): its
// system record names the contents, the contents reach every topic, help context 3 (what
// F1 asks for) leads to the main topic inside the file, and no link leads out of it.
#include <chm_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

class ChmFile {
public:
    explicit ChmFile(const std::string& path)
        : m_handle(chm_open(path.c_str()))
    {
    }
    ~ChmFile()
    {
        if (m_handle)
            chm_close(m_handle);
    }
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    bool isOpen() const { return m_handle != nullptr; }

    // A path inside the file; a name without a leading '/' is taken from the root, as the
    // viewer does with context-map targets.
    std::optional<std::string> read(std::string path) const
    {
        if (path.empty() || path[0] != '/')
            path.insert(path.begin(), '/');
        chmUnitInfo ui{};
        if (chm_resolve_object(m_handle, path.c_str(), &ui) != CHM_RESOLVE_SUCCESS)
            return std::nullopt;
        std::string data(static_cast<size_t>(ui.length), '\0');
        if (ui.length > 0
            && chm_retrieve_object(
                   m_handle, &ui, reinterpret_cast<unsigned char*>(data.data()), 0, static_cast<LONGINT64>(ui.length))
                != static_cast<LONGINT64>(ui.length))
            return std::nullopt;
        return data;
    }

    // The names of the ordinary files: topics, style sheet, contents and index.
    std::set<std::string> files() const
    {
        std::set<std::string> names;
        chm_enumerate(
            m_handle, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
            [](chmFile*, chmUnitInfo* ui, void* context) {
                static_cast<std::set<std::string>*>(context)->insert(ui->path);
                return CHM_ENUMERATOR_CONTINUE;
            },
            &names);
        return names;
    }

private:
    chmFile* m_handle;
};

std::uint32_t le32(const std::string& bytes, size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return v;
}

std::uint16_t le16(const std::string& bytes, size_t at)
{
    return static_cast<std::uint16_t>(
        static_cast<unsigned char>(bytes.at(at)) | static_cast<unsigned char>(bytes.at(at + 1)) << 8);
}

// The #SYSTEM records: code -> text (0 contents file, 1 index file, 2 default topic, 3 title).
std::map<int, std::string> systemRecords(const ChmFile& chm)
{
    std::map<int, std::string> records;
    const std::optional<std::string> system = chm.read("/#SYSTEM");
    if (!system)
        return records;
    for (size_t at = 4; at + 4 <= system->size();) {
        const int code = le16(*system, at);
        const size_t length = le16(*system, at + 2);
        std::string text = system->substr(at + 4, length);
        text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
        records[code] = text;
        at += 4 + length;
    }
    return records;
}

// The target of a help context, from #IVB (context, offset into #STRINGS) pairs.
std::optional<std::string> contextTarget(const ChmFile& chm, std::uint32_t context)
{
    const std::optional<std::string> ivb = chm.read("/#IVB");
    const std::optional<std::string> strings = chm.read("/#STRINGS");
    if (!ivb || !strings || ivb->size() < 4)
        return std::nullopt;
    for (size_t at = 4; at + 8 <= ivb->size(); at += 8) {
        if (le32(*ivb, at) != context)
            continue;
        const size_t offset = le32(*ivb, at + 4);
        if (offset >= strings->size())
            return std::nullopt;
        return std::string(strings->c_str() + offset);
    }
    return std::nullopt;
}

// The "Local" targets of a sitemap (contents or index), in order.
std::vector<std::string> sitemapTargets(const std::string& sitemap)
{
    static const std::regex local(R"re(<param\s+name="Local"\s+value="([^"]*)")re", std::regex::icase);
    std::vector<std::string> targets;
    for (std::sregex_iterator it(sitemap.begin(), sitemap.end(), local), end; it != end; ++it)
        targets.push_back((*it)[1]);
    return targets;
}

std::string withoutAnchor(const std::string& target)
{
    return target.substr(0, target.find('#'));
}

bool isTopic(const std::string& name)
{
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".htm") == 0;
}

class HelpFile : public ::testing::Test {
protected:
    ChmFile m_chm{PONTEVA_HELP_FILE};
};

TEST_F(HelpFile, OpensAndNamesItsContentsIndexAndMainTopic)
{
    ASSERT_TRUE(m_chm.isOpen()) << PONTEVA_HELP_FILE;
    const std::map<int, std::string> system = systemRecords(m_chm);
    ASSERT_EQ(system.count(0), 1u) << "sin archivo de contenido";
    EXPECT_EQ(system.at(0), "Zedra.hhc");
    EXPECT_TRUE(m_chm.read(system.at(0)).has_value());
    ASSERT_EQ(system.count(1), 1u) << "sin índice";
    EXPECT_TRUE(m_chm.read(system.at(1)).has_value());
    ASSERT_EQ(system.count(2), 1u) << "sin tema inicial";
    EXPECT_EQ(system.at(2), "index.htm");
    EXPECT_EQ(system.at(3), "Ayuda de Ponteva");
}

TEST_F(HelpFile, ContentsReachEveryTopicAndNothingOutsideTheFile)
{
    ASSERT_TRUE(m_chm.isOpen());
    const std::optional<std::string> contents = m_chm.read("/Zedra.hhc");
    ASSERT_TRUE(contents);
    const std::vector<std::string> targets = sitemapTargets(*contents);
    ASSERT_FALSE(targets.empty());

    std::set<std::string> reached;
    for (const std::string& target : targets) {
        EXPECT_TRUE(m_chm.read(withoutAnchor(target))) << target;
        reached.insert("/" + withoutAnchor(target));
    }
    std::set<std::string> topics;
    for (const std::string& name : m_chm.files())
        if (isTopic(name))
            topics.insert(name);
    EXPECT_EQ(reached, topics);
    EXPECT_EQ(targets.front(), "index.htm") << "el tema principal abre el contenido";
    // The entries' names are in the code page of the file's language.
    EXPECT_NE(contents->find("Ponteva: qu\xE9 hace"), std::string::npos);
}

TEST_F(HelpFile, ContextThreeLeadsToTheMainTopicInsideTheFile)
{
    ASSERT_TRUE(m_chm.isOpen());
    const std::optional<std::string> target = contextTarget(m_chm, 3);
    ASSERT_TRUE(target) << "el contexto 3 no está en el mapa de contextos";
    const std::optional<std::string> topic = m_chm.read(*target);
    ASSERT_TRUE(topic) << "el contexto 3 lleva fuera del archivo: " << *target;
    EXPECT_EQ(withoutAnchor(*target), "/index.htm");
    EXPECT_NE(topic->find("<title>Ponteva: qu\xE9 hace</title>"), std::string::npos);
}

TEST_F(HelpFile, EveryLinkAndIndexEntryLeadsToAPlaceInsideTheFile)
{
    ASSERT_TRUE(m_chm.isOpen());
    static const std::regex reference(R"re((?:href|src)="([^"]*)")re", std::regex::icase);
    std::vector<std::pair<std::string, std::string>> links; // (from, to)
    for (const std::string& name : m_chm.files()) {
        if (!isTopic(name))
            continue;
        const std::string page = *m_chm.read(name);
        for (std::sregex_iterator it(page.begin(), page.end(), reference), end; it != end; ++it)
            links.emplace_back(name, (*it)[1]);
    }
    for (const std::string& target : sitemapTargets(*m_chm.read("/Zedra.hhk")))
        links.emplace_back("/Zedra.hhk", target);
    ASSERT_GT(links.size(), 30u);

    for (const auto& [from, to] : links) {
        SCOPED_TRACE(from + " -> " + to);
        ASSERT_EQ(to.find(':'), std::string::npos) << "enlace fuera del archivo";
        const std::string file = withoutAnchor(to);
        const std::optional<std::string> page = m_chm.read(file.empty() ? from : file);
        ASSERT_TRUE(page);
        if (to.find('#') != std::string::npos) {
            const std::string anchor = to.substr(to.find('#') + 1);
            EXPECT_NE(page->find("name=\"" + anchor + "\""), std::string::npos) << "falta el ancla";
        }
    }
}

TEST_F(HelpFile, TopicsAreInTheCodePageTheyDeclare)
{
    ASSERT_TRUE(m_chm.isOpen());
    for (const std::string& name : m_chm.files()) {
        if (!isTopic(name))
            continue;
        SCOPED_TRACE(name);
        const std::string page = *m_chm.read(name);
        EXPECT_NE(page.find("charset=windows-1252"), std::string::npos);
        // No UTF-8 sequence survived the conversion ("ó" would read as "Ã³").
        EXPECT_EQ(page.find("\xC3"), std::string::npos);
    }
}

} // namespace
