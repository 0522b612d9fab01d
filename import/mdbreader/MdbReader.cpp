// socios-mdb-reader: reads one table of an Access file (Jet 3, Jet 4 or ACE) with libmdb and writes it to standard
// output, for socios to import. It runs as a child process of socios, which limits its time, memory and output and
// accepts what it writes only after a clean exit: libmdb can loop for ever or crash on a damaged file, and that
// must never take socios with it.
//
//     socios-mdb-reader [--header-only] FILE TABLE
//
// Output (UTF-8, one record a line, fields separated by tabs):
//     socios-mdb-reader 1
//     table ROWS COLUMNS           ROWS: the row count that the table definition holds
//     column TYPE NAME             once per column, in table order; TYPE: libmdb's number of the Access type
//     row FIELD...                 once per row, in stored order (none with --header-only)
//     end ROWS                     the number of rows written
// A field is "\N" for no value (NULL); otherwise its text with backslash, tab, line feed and carriage return
// written as "\\", "\t", "\n" and "\r". Text and memo fields are their text; numbers are written in C notation
// (integers, floats and doubles shortest round trip); currency as its whole number of ten-thousandths; dates as the
// double of days since 30 December 1899; yes/no as 1 or 0; other types (OLE objects, binary) as an empty field.
// On failure the last line is "error KIND MESSAGE" and the exit code is 3; KIND is one of open, notregular, read,
// notaccess, cut, damaged, notable, value.
//
// A file cut short is refused ("cut"), never read in part: libmdb reads a last page that is cut as if its missing
// bytes were zeros (fields without a value, whole rows of them) and a page beyond the end as an empty one. So the
// file must hold a whole number of its pages, and every page that libmdb asks for must lie within the file: the
// reader puts its own mdb_read_pg() and mdb_read_alt_pg() in front of libmdb's (on ELF systems libmdb calls them
// through the dynamic linker, which finds the program's own first), checks the page number and then hands over.

#include "intake/AccessHeader.h"

#include <glib.h> // before mdbtools.h, which includes it inside extern "C"

#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#ifdef __ELF__
#include <dlfcn.h>
#endif
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kExitFailure = 3;
// Where the output goes: standard output as it was when the reader started. libmdb prints to standard output
// itself now and then; what it prints goes to standard error instead, and never into the output.
FILE* output = nullptr;
// The largest memo text taken, in bytes of UTF-8; a longer one is refused rather than cut.
constexpr size_t kMemoBufferSize = 1 << 20;

std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

[[noreturn]] void fail(const char* kind, const std::string& message)
{
    std::fprintf(output, "error\t%s\t%s\n", kind, escaped(message).c_str());
    std::fflush(output);
    std::_Exit(kExitFailure);
}

// The environment variables that change how libmdb reads every file: set here as socios expects them, whatever
// the caller's environment holds.
void fixEnvironment()
{
    for (const char* name : {"MDBPATH", "MDBOPTS", "MDBICONV", "MDB_ICONV"})
        unsetenv(name);
    setenv("MDB_JET3_CHARSET", "CP1252", 1);
    setenv("LC_ALL", "C", 1);
}

// The whole file, read from a regular file only: a FIFO or a device would block or never end. O_NONBLOCK keeps the
// open itself from waiting on a FIFO.
std::vector<char> readWholeFile(const char* path)
{
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        fail("open", std::strerror(errno));
    struct stat info
    {};
    if (fstat(fd, &info) != 0)
        fail("open", std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        fail("notregular", "not a regular file");
    std::vector<char> bytes(size_t(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = pread(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail("read", std::strerror(errno));
        if (got == 0)
            fail("read", "the file ended before its size (" + std::to_string(info.st_size) + " bytes)");
        done += size_t(got);
    }
    close(fd);
    return bytes;
}

// The size of the file being read, once it is read.
size_t fileSize = 0;

#ifdef __ELF__
using PageReader = ssize_t (*)(MdbHandle*, unsigned long);

// Refuses a page that does not lie whole within the file, then reads it with libmdb's `name`, found once.
ssize_t readPage(const char* name, PageReader& libmdbReader, MdbHandle* mdb, unsigned long page)
{
    const size_t pageSize = size_t(mdb->fmt->pg_size);
    if (page >= fileSize / pageSize)
        fail("cut", "page " + std::to_string(page) + " lies beyond the end of the file, which holds " +
                        std::to_string(fileSize / pageSize) + " pages of " + std::to_string(pageSize) + " bytes");
    if (!libmdbReader)
        libmdbReader = reinterpret_cast<PageReader>(dlsym(RTLD_NEXT, name));
    if (!libmdbReader)
        fail("damaged", std::string("libmdb has no ") + name);
    const ssize_t read = libmdbReader(mdb, page);
    if (read != ssize_t(pageSize))
        fail("cut", "page " + std::to_string(page) + " cannot be read whole");
    return read;
}
#endif

bool hasAccessHeader(const std::vector<char>& bytes)
{
    return bytes.size() >= 4096 && AccessHeader::matches(bytes.data());
}

template <typename T> T littleEndian(const unsigned char* at)
{
    T value;
    std::memcpy(&value, at, sizeof(T)); // libmdb's own readers assume a little-endian host as well
    return value;
}

template <typename T> std::string number(T value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, result.ptr);
}

// One field of the current row as written to the output; `start` and `size` as mdb_crack_row found them.
std::string fieldText(MdbHandle* mdb, MdbColumn* column, const MdbField& field, long row)
{
    if (column->col_type == MDB_BOOL) // its value is the null bit: never without a value
        return field.is_null ? "0" : "1";
    if (field.is_null)
        return "\\N";
    const long pageSize = mdb->fmt->pg_size;
    const auto fixedSize = [&](int type) -> int {
        switch (type) {
        case MDB_BYTE:
            return 1;
        case MDB_INT:
            return 2;
        case MDB_LONGINT:
        case MDB_COMPLEX:
        case MDB_FLOAT:
            return 4;
        case MDB_MONEY:
        case MDB_DOUBLE:
        case MDB_DATETIME:
            return 8;
        case MDB_REPID:
            return 16;
        case MDB_NUMERIC:
            return 17;
        default:
            return 0;
        }
    };
    const int needed = fixedSize(column->col_type);
    if (field.start < 0 || field.siz < needed || long(field.start) + field.siz > pageSize)
        fail("value", "row " + std::to_string(row) + ", column " + column->name + ": value outside its page");
    const unsigned char* at = mdb->pg_buf + field.start;
    switch (column->col_type) {
    case MDB_BYTE:
        return number(int(at[0]));
    case MDB_INT:
        return number(littleEndian<int16_t>(at));
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return number(littleEndian<int32_t>(at));
    case MDB_FLOAT:
        return number(littleEndian<float>(at));
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return number(littleEndian<double>(at));
    case MDB_MONEY:
        return number(littleEndian<int64_t>(at));
    case MDB_NUMERIC:
    case MDB_REPID:
    case MDB_MEMO: {
        char* text = column->col_type == MDB_NUMERIC
                         ? mdb_numeric_to_string(mdb, field.start, column->col_scale, column->col_prec)
                         : mdb_col_to_string(mdb, mdb->pg_buf, field.start, column->col_type, field.siz);
        const std::string value = text ? text : "";
        g_free(text);
        if (column->col_type == MDB_MEMO && value.size() + 8 >= kMemoBufferSize)
            fail("value", "row " + std::to_string(row) + ", column " + column->name + ": memo text too long");
        return escaped(value);
    }
    case MDB_TEXT: {
        // At most three bytes of UTF-8 for each byte stored (a code page character, half a UCS-2 character or
        // one compressed one), so the text is never cut.
        std::vector<char> text(size_t(field.siz) * 3 + 16);
        const int length =
            mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(at), size_t(field.siz), text.data(), text.size() - 1);
        return escaped(std::string_view(text.data(), size_t(std::max(length, 0))));
    }
    default:
        return std::string();
    }
}

MdbCatalogEntry* findTable(MdbHandle* mdb, const char* name)
{
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && g_ascii_strcasecmp(entry->object_name, name) == 0)
            return entry;
    }
    return nullptr;
}

} // namespace

#ifdef __ELF__
// Called by libmdb in place of its own (see the top of this file). Elsewhere (Windows) a library's calls never
// reach the program's functions, and only the check of the file's size holds.
extern "C" ssize_t mdb_read_pg(MdbHandle* mdb, unsigned long page)
{
    static PageReader libmdbReader = nullptr;
    return readPage("mdb_read_pg", libmdbReader, mdb, page);
}
extern "C" ssize_t mdb_read_alt_pg(MdbHandle* mdb, unsigned long page)
{
    static PageReader libmdbReader = nullptr;
    return readPage("mdb_read_alt_pg", libmdbReader, mdb, page);
}
#endif

int main(int argc, char* argv[])
{
    fixEnvironment();
    const bool headerOnly = argc == 4 && std::strcmp(argv[1], "--header-only") == 0;
    if (argc != 3 && !headerOnly) {
        std::fputs("usage: socios-mdb-reader [--header-only] FILE TABLE\n", stderr);
        return 2;
    }
    const char* path = argv[argc - 2];
    const char* tableName = argv[argc - 1];
    const int outputFd = dup(STDOUT_FILENO);
    output = outputFd >= 0 ? fdopen(outputFd, "w") : nullptr;
    if (!output || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return kExitFailure;
    static char outputBuffer[1 << 16];
    std::setvbuf(output, outputBuffer, _IOFBF, sizeof(outputBuffer));

    std::vector<char> bytes = readWholeFile(path);
    if (!hasAccessHeader(bytes))
        fail("notaccess", "no Access header");
    // The file is read from memory: libmdb never opens a path of its own (MDBPATH) nor reads a file that changes.
    fileSize = bytes.size();
    MdbHandle* mdb = mdb_open_buffer(bytes.data(), bytes.size(), MDB_NOFLAGS);
    if (!mdb)
        fail("damaged", "libmdb cannot open it");
    if (fileSize % size_t(mdb->fmt->pg_size) != 0)
        fail("cut", "its " + std::to_string(fileSize) + " bytes are not a whole number of its pages of " +
                        std::to_string(mdb->fmt->pg_size) + " bytes");
    mdb_set_bind_size(mdb, kMemoBufferSize);
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        fail("damaged", "the list of tables cannot be read");
    MdbCatalogEntry* entry = findTable(mdb, tableName);
    if (!entry)
        fail("notable", std::string("no table ") + tableName);
    MdbTableDef* table = mdb_read_table(entry);
    if (!table || !mdb_read_columns(table) || table->num_cols == 0 || table->num_cols > MDB_MAX_COLS)
        fail("damaged", std::string("the definition of table ") + tableName + " cannot be read");

    std::fprintf(output, "socios-mdb-reader 1\ntable\t%u\t%u\n", table->num_rows, table->num_cols);
    std::vector<MdbColumn*> columns;
    for (unsigned i = 0; i < table->num_cols; ++i) {
        columns.push_back(static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i)));
        std::fprintf(output, "column\t%d\t%s\n", columns.back()->col_type, escaped(columns.back()->name).c_str());
    }
    long rows = 0;
    if (!headerOnly) {
        std::vector<MdbField> fields(table->num_cols);
        mdb_rewind_table(table);
        while (mdb_fetch_row(table)) {
            // mdb_fetch_row has read the row at cur_row - 1 of the page in pg_buf; cracking it again tells a field
            // without a value from an empty text, which bound columns do not.
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb, int(table->cur_row) - 1, &start, &size) != 0)
                fail("damaged", "row " + std::to_string(rows + 1) + " cannot be found again");
            if (mdb_crack_row(table, start & 0x1fff, size, fields.data()) < 0)
                fail("damaged", "row " + std::to_string(rows + 1) + " cannot be split into its fields");
            std::string line = "row";
            for (unsigned i = 0; i < table->num_cols; ++i) {
                MdbColumn* column = columns[size_t(fields[i].colnum)];
                line += '\t';
                line += fieldText(mdb, column, fields[i], rows + 1);
            }
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), output);
            ++rows;
        }
    }
    std::fprintf(output, "end\t%ld\n", rows);
    if (std::fflush(output) != 0 || std::ferror(output))
        return kExitFailure;
    // No clean-up of libmdb's structures: the process ends here, and a damaged file could make freeing them crash.
    std::_Exit(0);
}
