// A table's life on disk: create, open (find, lock, load), close (write what is pending),
// and removal of its files.
#include "tables/Table.h"

#include "tables/FieldCodec.h"
#include "tables/TableErrors.h"
#include "tables/TableImpl.h"

#include <cerrno>
#include <set>

namespace ponteva::dbf {

namespace {

constexpr std::uint64_t kMaxTableBytes = std::uint64_t{1} << 31; // 2 GiB: the whole file is loaded

std::unique_ptr<File> openForUse(FileIo& io, const std::filesystem::path& path, int& err, bool& writable)
{
    writable = true;
    std::unique_ptr<File> file = io.open(path, FileIo::Mode::ReadWrite, err);
    // A table on a read-only medium or share (a copy taken from a CD) can still be read.
    if (!file && err != EBUSY && (err == EACCES || err == EROFS || err == EPERM)) {
        writable = false;
        file = io.open(path, FileIo::Mode::Read, err);
    }
    return file;
}

void lockOrFail(File& file, const std::string& table)
{
    if (file.lockExclusive())
        return;
    const int err = file.lastError();
    if (err == 0 || err == EWOULDBLOCK || err == EAGAIN || err == EBUSY)
        errors::inUse(table);
    errors::systemFailure(table, "bloquear", err);
}

bool validFieldName(std::string_view name)
{
    if (name.empty() || name.size() > format::kMaxFieldNameLength)
        return false;
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

std::vector<FieldInfo> fieldsToCreate(const std::vector<FieldDef>& defs, const std::string& table)
{
    const auto refuse
        = [&](const std::string& why) { throw Error("No se puede crear la tabla " + table + ": " + why + "."); };
    if (defs.empty())
        refuse("no tiene campos");
    std::vector<FieldInfo> fields;
    std::set<std::string> seen;
    for (const FieldDef& def : defs) {
        if (!validFieldName(def.name))
            refuse("el nombre de campo " + errors::quoted(def.name)
                + " no es válido (de 1 a 10 letras sin acentos, cifras o '_')");
        FieldInfo f;
        f.name = tableBaseName(def.name); // upper case
        if (!seen.insert(f.name).second)
            refuse("el campo " + errors::quoted(f.name) + " está repetido");
        switch (def.type) {
        case FieldType::Character:
            if (def.width < 1 || def.width > format::kMaxCharacterWidth)
                refuse("el campo " + errors::quoted(f.name) + " tiene ancho " + std::to_string(def.width)
                    + "; debe estar entre 1 y " + std::to_string(format::kMaxCharacterWidth));
            f.type = format::kCharacter;
            f.width = def.width;
            break;
        case FieldType::Logical:
            f.type = format::kLogical;
            f.width = 1;
            break;
        case FieldType::Integer:
            f.type = format::kNumeric;
            f.width = format::kIntegerWidth;
            break;
        case FieldType::Float:
            f.type = format::kFloat;
            f.width = format::kFloatWidth;
            f.decimals = format::kFloatDecimals;
            break;
        default: refuse("el campo " + errors::quoted(f.name) + " es de un tipo desconocido");
        }
        fields.push_back(std::move(f));
    }
    std::size_t recordLength = 1;
    for (const FieldInfo& f : fields)
        recordLength += static_cast<std::size_t>(f.width);
    if (recordLength > 0xFFFF || format::kHeaderSize + fields.size() * format::kDescriptorSize + 1 > 0xFFFF)
        refuse("los campos no caben en un registro de dBase (65535 bytes como mucho)");
    return fields;
}

} // namespace

std::size_t FieldNameHash::operator()(std::string_view name) const
{
    std::size_t h = 14695981039346656037ull; // FNV-1a over the upper-case letters
    for (char c : name) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return h;
}

void Table::Impl::setLayout(TableLayout newLayout)
{
    layout = std::move(newLayout);
    fieldByName.clear();
    for (std::size_t i = 0; i < layout.fields.size(); ++i)
        fieldByName.emplace(layout.fields[i].name, i); // a repeated name keeps its first field
    // The row append() starts from, made once: every field blank as its kind writes it.
    blankRow.assign(layout.recordLength, ' ');
    blankRow[0] = format::kLiveRow;
    for (const FieldInfo& f : layout.fields)
        blankField(f, layout.dialect, blankRow.data() + f.offset);
    lastField = 0;
}

bool Table::Impl::isLive(std::size_t i) const
{
    return data[layout.headerLength + (i - droppedRows) * layout.recordLength] != format::kDeletedRow;
}

std::size_t Table::Impl::nextLive(std::size_t from) const
{
    while (from < rowCount && !isLive(from))
        ++from;
    return from;
}

void Table::Impl::flush(const std::string& table)
{
    if (flushedEnd >= data.size())
        return;
    if (!file->writeAt(fileOffset(flushedEnd), data.data() + flushedEnd, data.size() - flushedEnd))
        errors::systemFailure(table, "escribir", file->lastError());
    flushedEnd = data.size();
}

void Table::Impl::holdAllRows(const std::string& table)
{
    if (droppedRows == 0)
        return;
    flush(table);
    const std::size_t bytes = droppedRows * layout.recordLength;
    std::string rows(bytes, '\0');
    std::size_t done = 0;
    while (done < bytes) {
        const std::int64_t n = file->readAt(layout.headerLength + done, rows.data() + done, bytes - done);
        if (n < 0)
            errors::systemFailure(table, "leer", file->lastError());
        if (n == 0)
            errors::shortRead(table, layout.headerLength + done, layout.headerLength + bytes);
        done += static_cast<std::size_t>(n);
    }
    data.insert(layout.headerLength, rows);
    droppedRows = 0;
    flushedEnd = data.size();
}

Table::Table(std::filesystem::path dir, std::string baseName, TableOptions options, FileIo& io)
    : m_name(tableBaseName(baseName))
    , m(std::make_unique<Impl>(std::move(dir), options, io))
{
}

Table::~Table()
{
    try {
        close();
    } catch (...) {
        // A destructor must not throw; close() has released the file already.
    }
}

void Table::removeFiles(const std::filesystem::path& dir, std::string_view baseName, FileIo& io)
{
    const std::string name = tableBaseName(baseName);
    for (const std::string& entry : caseVariants(io, dir, name + std::string(kTableExtension))) {
        // A table someone holds is left alone, as Windows refuses to delete an open file:
        // creating it anew then reports it in use instead of pulling it from its holder.
        int err = 0;
        if (std::unique_ptr<File> held = io.open(dir / entry, FileIo::Mode::Read, err); held && !held->lockExclusive())
            continue;
        io.remove(dir / entry);
    }
    for (const std::string& entry : caseVariants(io, dir, name + std::string(kIndexExtension)))
        io.remove(dir / entry);
}

void Table::create(const std::vector<FieldDef>& defs)
{
    close();
    std::vector<FieldInfo> fields = fieldsToCreate(defs, m_name);
    if (!m->io.isDirectory(m->dir))
        errors::missingDirectory(m_name, m->dir, "crear");

    const std::string fileName = m_name + std::string(kTableExtension);
    m->path = m->dir / fileName;
    int err = 0;
    // Other letter-case variants would be found in place of the new table: they go, unless
    // someone holds one. They are checked first so that a refusal leaves nothing behind.
    std::vector<std::pair<std::filesystem::path, std::unique_ptr<File>>> variants;
    for (const std::string& variant : caseVariants(m->io, m->dir, fileName)) {
        if (variant == fileName || m->io.namesIgnoreCase())
            continue;
        if (std::unique_ptr<File> other = m->io.open(m->dir / variant, FileIo::Mode::Read, err)) {
            lockOrFail(*other, m_name);
            variants.emplace_back(m->dir / variant, std::move(other));
        }
    }
    // Made when missing, never truncated before the lock is ours: another program may hold it.
    std::unique_ptr<File> file = m->io.open(m->path, FileIo::Mode::Create, err);
    if (!file && err == EBUSY)
        errors::inUse(m_name);
    if (!file)
        errors::systemFailure(m_name, "crear", err);
    lockOrFail(*file, m_name);
    for (const auto& [path, held] : variants)
        m->io.remove(path);
    // The table's index belongs to the old contents.
    for (const std::string& index : caseVariants(m->io, m->dir, m_name + std::string(kIndexExtension)))
        m->io.remove(m->dir / index);

    TableLayout layout;
    std::string bytes = buildHeader(fields, layout.recordLength, localToday());
    layout.headerLength = bytes.size();
    layout.fields = std::move(fields);
    bytes.push_back(static_cast<char>(format::kEndOfFile));
    if (!file->truncate(0) || !file->writeAt(0, bytes.data(), bytes.size()))
        errors::systemFailure(m_name, "crear", file->lastError());
    m->setLayout(std::move(layout));
}

void Table::open()
{
    if (m->file)
        return;
    if (!m->io.isDirectory(m->dir))
        errors::missingDirectory(m_name, m->dir, "abrir");

    const std::string fileName = m_name + std::string(kTableExtension);
    std::filesystem::path path = m->dir / fileName;
    int err = 0;
    bool writable = true;
    std::unique_ptr<File> file = openForUse(m->io, path, err, writable);
    if (!file && err == ENOENT) {
        // A Windows program under Wine may have written "soluc.dbf". Of several variants the
        // first in byte order is taken, so every run picks the same whatever the listing order.
        const std::vector<std::string> variants = caseVariants(m->io, m->dir, fileName);
        if (!variants.empty()) {
            path = m->dir / variants.front();
            file = openForUse(m->io, path, err, writable);
        }
    }
    if (!file) {
        if (err == ENOENT)
            errors::missingTable(m_name, m->dir);
        if (err == EBUSY) // Windows refuses the open itself
            errors::inUse(m_name);
        errors::systemFailure(m_name, "abrir", err);
    }
    lockOrFail(*file, m_name);

    const std::int64_t size = file->size();
    if (size < 0)
        errors::systemFailure(m_name, "leer", file->lastError());
    const auto total = static_cast<std::uint64_t>(size);
    if (total > kMaxTableBytes)
        errors::fail(m_name, "ocupa " + std::to_string(total) + " bytes; no se pueden abrir tablas de más de 2 GiB");
    std::string data(static_cast<std::size_t>(total), '\0');
    std::uint64_t done = 0;
    while (done < total) {
        const std::int64_t n = file->readAt(done, data.data() + done, static_cast<std::size_t>(total - done));
        if (n < 0)
            errors::systemFailure(m_name, "leer", file->lastError());
        if (n == 0)
            errors::shortRead(m_name, done, total);
        done += std::min(static_cast<std::uint64_t>(n), total - done);
    }
    TableLayout layout = parseHeader(data, m_name);
    data.resize(layout.headerLength + layout.rowCount * layout.recordLength);

    m->path = path;
    m->writable = writable;
    m->rowCount = layout.rowCount;
    m->setLayout(std::move(layout));
    m->data = std::move(data);
    m->flushedEnd = m->data.size();
    m->droppedRows = 0;
    m->liveCount = 0;
    for (std::size_t i = 0; i < m->rowCount; ++i)
        m->liveCount += m->isLive(i) ? 1 : 0;
    m->appended = false;
    m->editing = false;
    m->indexes.clear();
    m->cursor = m->nextLive(0);
    m->file = std::move(file);
}

void Table::close()
{
    if (!m->file)
        return;
    // Whatever happens below, the table ends closed and the file released.
    struct Release {
        Impl& impl;
        ~Release()
        {
            impl.file.reset();
            impl.data = std::string();
            impl.indexes.clear();
            impl.rowCount = impl.liveCount = impl.cursor = impl.flushedEnd = impl.droppedRows = 0;
            impl.appended = impl.editing = false;
        }
    } release{*m};

    if (!m->appended)
        return;
    m->flush(m_name);
    const char marker = static_cast<char>(format::kEndOfFile);
    const auto stamp = dateAndCount(localToday(), static_cast<std::uint32_t>(m->rowCount));
    File& file = *m->file;
    const std::uint64_t end = m->fileOffset(m->data.size());
    if (!file.writeAt(end, &marker, 1) || !file.truncate(end + 1)
        || !file.writeAt(format::kDateOffset, stamp.data(), stamp.size()))
        errors::systemFailure(m_name, "escribir", file.lastError());
}

bool Table::isOpen() const
{
    return m->file != nullptr;
}

bool Table::exists() const
{
    return m->file || !caseVariants(m->io, m->dir, m_name + std::string(kTableExtension)).empty();
}

const std::vector<FieldInfo>& Table::fields() const
{
    return m->layout.fields;
}

bool Table::hasField(std::string_view field) const
{
    return m->fieldByName.find(field) != m->fieldByName.end();
}

std::filesystem::path Table::path() const
{
    return m->path.empty() ? m->dir / (m_name + std::string(kTableExtension)) : m->path;
}

} // namespace ponteva::dbf
