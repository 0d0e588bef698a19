// Fixture builders and file seams for the table tests.
#include "TableFixtures.h"

#include "core/Error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace ponteva::test {

namespace {

bool isDBase7(unsigned char version)
{
    return version == 0x04 || version == 0x8C;
}

bool isVisualFoxPro(unsigned char version)
{
    return version >= 0x30 && version <= 0x32;
}

} // namespace

std::string littleEndian(std::uint64_t value, int size)
{
    std::string out;
    for (int i = 0; i < size; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string padRight(std::string_view text, std::size_t width)
{
    std::string out(text);
    out.resize(width, ' ');
    return out;
}

std::string padLeft(std::string_view text, std::size_t width)
{
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + std::string(text);
}

std::string hexBytes(std::string_view hex)
{
    std::string out;
    int pending = -1;
    for (char c : hex) {
        if (c == ' ')
            continue;
        const int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        if (pending < 0) {
            pending = digit;
        } else {
            out += static_cast<char>(pending * 16 + digit);
            pending = -1;
        }
    }
    return out;
}

std::string row(std::initializer_list<std::string_view> fields, char mark)
{
    std::string out(1, mark);
    for (std::string_view f : fields)
        out += f;
    return out;
}

std::string DbfFixture::bytes() const
{
    const bool db7 = isDBase7(version);
    const bool vfp = isVisualFoxPro(version);
    const std::size_t mainSize = db7 ? 68 : 32;
    const std::size_t descriptorSize = db7 ? 48 : 32;
    const std::size_t backlink = vfp ? 263 : 0;

    std::size_t widths = 1;
    for (const FixtureField& f : fields)
        widths += static_cast<std::size_t>(f.width);
    const std::size_t computedHeader = mainSize + fields.size() * descriptorSize + (terminator ? 1 : 0) + backlink;
    const std::uint16_t header = headerLength.value_or(static_cast<std::uint16_t>(computedHeader));
    const std::uint16_t record = recordLength.value_or(static_cast<std::uint16_t>(widths));

    std::string out(mainSize, '\0');
    out[0] = static_cast<char>(version);
    out[1] = 124; // 2024
    out[2] = 1;
    out[3] = 31;
    out.replace(4, 4, littleEndian(recordCount.value_or(static_cast<std::uint32_t>(rows.size())), 4));
    out.replace(8, 2, littleEndian(header, 2));
    out.replace(10, 2, littleEndian(record, 2));
    out[29] = static_cast<char>(languageDriver);
    if (db7)
        out.replace(32, 8, "DBWINUS0");

    std::size_t offset = 1;
    for (const FixtureField& f : fields) {
        std::string d(descriptorSize, '\0');
        d.replace(0, f.name.size(), f.name);
        const std::size_t typeAt = db7 ? 32 : 11;
        d[typeAt] = f.type;
        d[typeAt + 1 + (db7 ? 0 : 4)] = static_cast<char>(f.width);
        d[typeAt + 2 + (db7 ? 0 : 4)] = static_cast<char>(f.decimals);
        if (vfp)
            d.replace(12, 4, littleEndian(offset, 4));
        offset += static_cast<std::size_t>(f.width);
        out += d;
    }
    if (terminator)
        out += '\x0D';
    out += std::string(backlink, '\0');
    if (out.size() < header)
        out.resize(header, '\0');
    for (const std::string& r : rows)
        out += r;
    if (endMarker)
        out += '\x1A';
    return out;
}

void expectValues(const ValueCase& c, unsigned char version)
{
    SCOPED_TRACE(c.what);
    DbfFixture f;
    f.version = version;
    f.fields = {c.field};
    f.rows = {row({c.stored})};
    MemoryTable t(f, dbf::TableOptions{c.separator});
    t->open();
    ASSERT_FALSE(t->eof());
    EXPECT_EQ(t->text(c.field.name), c.text);
    if (c.number) {
        EXPECT_EQ(t->number(c.field.name), *c.number);
    } else {
        EXPECT_THROW(t->number(c.field.name), Error);
    }
    if (c.integer) {
        EXPECT_EQ(t->integer(c.field.name), *c.integer);
    } else {
        try {
            t->integer(c.field.name);
            ADD_FAILURE() << "integer accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("no es un valor entero válido para el campo '" + c.field.name + "'"),
                std::string::npos)
                << e.what();
        }
    }
}

// In-memory files.

namespace {

class MemoryFile : public dbf::File {
public:
    MemoryFile(MemoryFileIo& io, std::string path)
        : m_io(io)
        , m_path(std::move(path))
    {
    }
    ~MemoryFile() override
    {
        const auto it = m_io.lockHolders.find(m_path);
        if (it != m_io.lockHolders.end() && it->second == this)
            m_io.lockHolders.erase(it);
    }
    std::int64_t readAt(std::uint64_t offset, void* data, std::size_t size) override
    {
        const std::string& bytes = m_io.files[m_path];
        if (offset >= bytes.size())
            return 0;
        const std::size_t n = std::min<std::size_t>(size, bytes.size() - offset);
        std::memcpy(data, bytes.data() + offset, n);
        return static_cast<std::int64_t>(n);
    }
    bool writeAt(std::uint64_t offset, const void* data, std::size_t size) override
    {
        std::string& bytes = m_io.files[m_path];
        if (bytes.size() < offset + size)
            bytes.resize(offset + size, '\0');
        std::memcpy(bytes.data() + offset, data, size);
        return true;
    }
    bool truncate(std::uint64_t size) override
    {
        m_io.files[m_path].resize(size, '\0');
        return true;
    }
    std::int64_t size() override { return static_cast<std::int64_t>(m_io.files[m_path].size()); }
    bool lockExclusive() override
    {
        const auto [it, inserted] = m_io.lockHolders.emplace(m_path, this);
        if (!inserted && it->second != this) {
            m_error = EWOULDBLOCK;
            return false;
        }
        return true;
    }

private:
    MemoryFileIo& m_io;
    std::string m_path;
};

} // namespace

std::unique_ptr<dbf::File> MemoryFileIo::open(const std::filesystem::path& path, Mode mode, int& err)
{
    const std::string key = path.generic_string();
    if (!files.count(key)) {
        if (mode != Mode::Create) {
            err = ENOENT;
            return nullptr;
        }
        files[key];
    }
    err = 0;
    return std::make_unique<MemoryFile>(*this, key);
}

bool MemoryFileIo::remove(const std::filesystem::path& path)
{
    return files.erase(path.generic_string()) > 0;
}

bool MemoryFileIo::isDirectory(const std::filesystem::path& path)
{
    for (const auto& [name, bytes] : files) {
        if (std::filesystem::path(name).parent_path() == path)
            return true;
    }
    return false;
}

std::vector<std::string> MemoryFileIo::list(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) {
        const std::filesystem::path p(name);
        if (p.parent_path() == dir)
            names.push_back(p.filename().string());
    }
    return names;
}

MemoryTable::MemoryTable(const DbfFixture& fixture, dbf::TableOptions options, const std::string& name)
    : MemoryTable(fixture.bytes(), options, name)
{
}

MemoryTable::MemoryTable(std::string bytes, dbf::TableOptions options, const std::string& name)
{
    io.files["/mem/" + name + ".DBF"] = std::move(bytes);
    table = std::make_unique<dbf::Table>("/mem", name, options, io);
}

// Faults on demand.

namespace {

class FaultyFile : public dbf::File {
public:
    FaultyFile(FaultyFileIo& io, std::unique_ptr<dbf::File> inner)
        : m_io(io)
        , m_inner(std::move(inner))
    {
    }
    std::int64_t readAt(std::uint64_t offset, void* data, std::size_t size) override
    {
        if (m_io.readError != 0) {
            m_error = m_io.readError;
            return -1;
        }
        if (m_io.readableBytes) {
            if (offset >= *m_io.readableBytes)
                return 0;
            size = std::min<std::size_t>(size, *m_io.readableBytes - offset);
        }
        return m_inner->readAt(offset, data, size);
    }
    bool writeAt(std::uint64_t offset, const void* data, std::size_t size) override
    {
        ++m_io.writeCalls;
        if (m_io.writableBytes && m_io.bytesWritten + size > *m_io.writableBytes) {
            m_error = m_io.writeError;
            return false;
        }
        m_io.bytesWritten += size;
        if (!m_inner->writeAt(offset, data, size)) {
            m_error = m_inner->lastError();
            return false;
        }
        return true;
    }
    bool truncate(std::uint64_t size) override { return m_inner->truncate(size); }
    std::int64_t size() override { return m_io.reportedSize.value_or(m_inner->size()); }
    bool lockExclusive() override
    {
        const bool ok = m_inner->lockExclusive();
        m_error = m_inner->lastError();
        return ok;
    }

private:
    FaultyFileIo& m_io;
    std::unique_ptr<dbf::File> m_inner;
};

} // namespace

std::unique_ptr<dbf::File> FaultyFileIo::open(const std::filesystem::path& path, Mode mode, int& err)
{
    if (refuseWritableOpen && mode != Mode::Read) {
        err = EACCES;
        return nullptr;
    }
    std::unique_ptr<dbf::File> inner = system().open(path, mode, err);
    if (!inner)
        return nullptr;
    return std::make_unique<FaultyFile>(*this, std::move(inner));
}

} // namespace ponteva::test
