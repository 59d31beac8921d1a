#include "translation/translatetable.h"

#include "translation/translateunit.h"
#include "vantrel/codepage.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringList>

#include <shapefil.h>

#include <algorithm>
#include <optional>

namespace morvilo {

namespace {

constexpr int kFileHeaderSize = 32;
constexpr int kFieldDescriptorSize = 32;
constexpr char kHeaderTerminator = 0x0D;

// Cells hold Windows-1252 bytes. A character the code page lacks is stored as a numeric
// character reference ("▶" as "&#9654;"), and so is the "&" of a "&#" in the text itself
// ("&#38;#"): every text is stored whole, so two texts never share a record or a translation.
constexpr qsizetype kLongestReference = 10; // "&#1114111;"

QByteArray toCodePage(const QString &text) {
    const QList<uint> characters = text.toUcs4();
    QByteArray bytes;
    bytes.reserve(characters.size());
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const uint c = characters[i];
        const int byte = c <= 0xFFFF ? UnicodeToWindows1252(char16_t(c)) : -1;
        const bool referenceLike =
            c == u'&' && i + 1 < characters.size() && characters[i + 1] == u'#';
        if (byte <= 0 || referenceLike)
            bytes += "&#" + QByteArray::number(c) + ';';
        else
            bytes += char(byte);
    }
    return bytes;
}

// The character of the reference "&#digits;" at bytes[at], if it is one.
std::optional<char32_t> referenceAt(const QByteArray &bytes, qsizetype at) {
    if (!bytes.sliced(at).startsWith("&#"))
        return std::nullopt;
    const qsizetype end = bytes.indexOf(';', at + 2);
    if (end <= at + 2 || end - at > kLongestReference)
        return std::nullopt;
    char32_t c = 0;
    for (qsizetype k = at + 2; k < end; ++k) {
        if (bytes[k] < '0' || bytes[k] > '9')
            return std::nullopt;
        c = c * 10 + char32_t(bytes[k] - '0');
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return std::nullopt;
    return c;
}

QString fromCodePage(const QByteArray &bytes) {
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (const std::optional<char32_t> c =
                bytes[i] == '&' ? referenceAt(bytes, i) : std::nullopt) {
            text += QString::fromUcs4(&*c, 1);
            i = bytes.indexOf(';', i);
        } else {
            text += QChar(Windows1252ToUnicode(uint8_t(bytes[i])));
        }
    }
    return text;
}

// The bytes a cell of 255 keeps: cut before a character reference that would not fit whole.
QByteArray cellCut(const QByteArray &bytes) {
    if (bytes.size() <= kTranslationCellWidth)
        return bytes;
    qsizetype cut = kTranslationCellWidth;
    for (qsizetype at = cut - 1; at >= 0 && at > cut - kLongestReference; --at)
        if (bytes[at] == '&' && referenceAt(bytes, at) && bytes.indexOf(';', at) >= cut) {
            cut = at;
            break;
        }
    return bytes.left(cut);
}

// Only the letters a to z, as the editor's search folds them.
QString foldedAToZ(QString text) {
    for (QChar &c : text)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    return text;
}

QByteArray trimmedCell(QByteArray cell) {
    auto blank = [](char c) { return uint8_t(c) <= 32; };
    while (!cell.isEmpty() && blank(cell.back()))
        cell.chop(1);
    qsizetype first = 0;
    while (first < cell.size() && blank(cell[first]))
        ++first;
    return cell.mid(first);
}

// The cells of one line of comma-separated values; quoted cells may hold commas and "".
QStringList csvCells(QString line) {
    while (line.endsWith(u'\n') || line.endsWith(u'\r'))
        line.chop(1);
    QStringList cells(1);
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == u'"' && i + 1 < line.size() && line[i + 1] == u'"')
            cells.back().append(line[++i]);
        else if (c == u'"')
            quoted = !quoted;
        else if (c == u',' && !quoted)
            cells.append(QString());
        else
            cells.back().append(c);
    }
    return cells;
}

unsigned readLittleEndian(const QByteArray &bytes, int offset, int count) {
    unsigned value = 0;
    for (int k = count - 1; k >= 0; --k)
        value = value << 8 | uint8_t(bytes[offset + k]);
    return value;
}

// shapelib reports its faults on stderr by default; the table reports its own instead.
void silentError(const char *) {}

SAHooks quietHooks() {
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.Error = silentError;
    return hooks;
}

// Why the table is not used; %1 is the file, %2 the fault.
const char *const kNotCreated =
    "Die Übersetzungstabelle %1 konnte nicht angelegt werden. Das Programm läuft ohne sie.";
const char *const kDamaged =
    "Die Übersetzungstabelle %1 ist beschädigt (%2). Das Programm verwendet sie nicht.";
const char *const kUnreadable = "nicht lesbar";

// The spaces around a text: the lookup matches the text between them and puts them back.
struct Padded {
    qsizetype leading = 0, trailing = 0;
    explicit Padded(const QString &s) {
        while (leading < s.size() && s[leading] == u' ')
            ++leading;
        while (trailing < s.size() - leading && s[s.size() - 1 - trailing] == u' ')
            ++trailing;
    }
    QString core(const QString &s) const { return s.mid(leading, s.size() - leading - trailing); }
    QString around(const QString &text) const {
        return QString(leading, u' ') + text + QString(trailing, u' ');
    }
};

bool createTable(const QString &fileName) {
    SAHooks hooks = quietHooks();
    DBFHandle table = DBFCreateLL(QFile::encodeName(fileName).constData(), "LDID/3", &hooks);
    if (!table)
        return false;
    bool ok = true;
    for (int n = 1; n <= kTranslationColumns && ok; ++n) {
        const QByteArray name = "language" + QByteArray::number(n);
        ok = DBFAddField(table, name.constData(), FTString, kTranslationCellWidth, 0) == n - 1;
    }
    DBFClose(table);
    if (!ok)
        QFile::remove(fileName);
    return ok;
}

DBFHandle dbf(void *handle) {
    return static_cast<DBFHandle>(handle);
}

} // namespace

QString CheckDbfImage(const QByteArray &head, qint64 fileSize) {
    if (head.size() < kFileHeaderSize)
        return QStringLiteral("Dateikopf unvollständig");
    if ((uint8_t(head[0]) & 0x07) != 3)
        return QStringLiteral("kein dBASE-III-Format");
    const qint64 records = readLittleEndian(head, 4, 4);
    const int headerLength = int(readLittleEndian(head, 8, 2));
    const int recordLength = int(readLittleEndian(head, 10, 2));
    if (headerLength < kFileHeaderSize + kFieldDescriptorSize + 1 || headerLength > head.size())
        return QStringLiteral("Dateikopf unvollständig");
    int fields = 0;
    int width = 0;
    int pos = kFileHeaderSize;
    for (; pos < headerLength && head[pos] != kHeaderTerminator; pos += kFieldDescriptorSize) {
        if (pos + kFieldDescriptorSize > headerLength)
            return QStringLiteral("Feldbeschreibungen fehlerhaft");
        const char type = head[pos + 11];
        // Character fields may be wider than 255: the decimals byte then holds the high byte.
        const int fieldWidth = type == 'N' || type == 'F'
                                   ? uint8_t(head[pos + 16])
                                   : int(readLittleEndian(head, pos + 16, 2));
        if (fieldWidth == 0)
            return QStringLiteral("Feldbeschreibungen fehlerhaft");
        width += fieldWidth;
        ++fields;
    }
    if (fields == 0 || (headerLength - kFileHeaderSize) / kFieldDescriptorSize != fields)
        return QStringLiteral("Feldbeschreibungen fehlerhaft");
    if (head[kFileHeaderSize + 11] != 'C')
        return QStringLiteral("erstes Feld ist kein Textfeld");
    if (width + 1 != recordLength)
        return QStringLiteral("Datensatzlänge passt nicht zu den Feldern");
    if (headerLength + records * recordLength > fileSize)
        return QStringLiteral("Datei kürzer als ihre Datensätze");
    return {};
}

TranslationTable::~TranslationTable() {
    Close();
}

QString TranslationTable::Open(const QString &folder) {
    Close();
    fileName_ = QDir(folder).filePath(QStringLiteral("translate.dbf"));
    problem_.clear();
    fault_.clear();
    auto refuse = [this](const char *problem, const QString &fault = {}) {
        problem_ = QString::fromUtf8(problem);
        fault_ = fault;
        return Problem();
    };
    if (!QFile::exists(fileName_) && !createTable(fileName_))
        return refuse(kNotCreated);

    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(kDamaged, kUnreadable);
    const QString fault = CheckDbfImage(file.read(0x10000), file.size());
    file.close();
    if (!fault.isEmpty())
        return refuse(kDamaged, fault);

    SAHooks hooks = quietHooks();
    const QByteArray name = QFile::encodeName(fileName_);
    handle_ = DBFOpenLL(name.constData(), "rb+", &hooks);
    readOnly_ = handle_ == nullptr;
    if (!handle_)
        handle_ = DBFOpenLL(name.constData(), "rb", &hooks);
    if (!handle_)
        return refuse(kDamaged, kUnreadable);
    return {};
}

QString TranslationTable::Problem() const {
    if (problem_.isEmpty())
        return {};
    const QString text =
        morvilo::TranslateString(problem_).arg(QDir::toNativeSeparators(fileName_));
    return fault_.isEmpty() ? text : text.arg(morvilo::TranslateString(fault_));
}

void TranslationTable::Close() {
    if (installed_)
        SetTranslationLookup({});
    installed_ = false;
    if (handle_)
        DBFClose(dbf(handle_));
    handle_ = nullptr;
    readOnly_ = false;
    for (std::vector<Entry> &bucket : trans_)
        bucket.clear();
}

void TranslationTable::inittrans() {
    for (std::vector<Entry> &bucket : trans_)
        bucket.clear();
    const int count = RecordCount();
    for (int record = 0; record < count; ++record) {
        if (DBFIsRecordDeleted(dbf(handle_), record))
            continue;
        QByteArray text = cellBytes(record, 0);
        if (!text.isEmpty())
            trans_[uint8_t(text[0])].push_back({std::move(text), record});
    }
    // Stable, so that of two equal source texts the earlier record is met first.
    for (std::vector<Entry> &bucket : trans_)
        std::stable_sort(bucket.begin(), bucket.end(),
                         [](const Entry &a, const Entry &b) { return a.text < b.text; });
}

QString TranslationTable::TranslateString(const QString &s, int column) {
    const Padded padded(s);
    if (padded.leading == s.size() || !handle_)
        return s;

    const QByteArray key = toCodePage(padded.core(s));
    const int record = findRecord(key);
    if (record < 0) {
        learn(key);
        return s;
    }
    const QByteArray cell = trimmedCell(cellBytes(record, column));
    if (cell.isEmpty())
        return s;
    return padded.around(fromCodePage(cell));
}

void TranslationTable::Install() {
    SetTranslationLookup([this](const QString &s) { return TranslateString(s, language); });
    installed_ = true;
}

TranslationLookup ShippedLookup(const QString &csvFile, int column) {
    QFile file(csvFile);
    QHash<QString, QString> texts;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        file.readLine(); // the column names
        while (!file.atEnd()) {
            const QStringList cells = csvCells(QString::fromUtf8(file.readLine()));
            if (cells.size() >= 2 && !cells[1].trimmed().isEmpty())
                texts.insert(cells[0].trimmed(), cells[1]);
        }
    }
    return [texts = std::move(texts), column](const QString &s) {
        const Padded padded(s);
        const auto found = texts.find(padded.core(s));
        if (language != column || padded.leading == s.size() || found == texts.end())
            return s;
        return padded.around(*found);
    };
}

int TranslationTable::RecordCount() const {
    return handle_ ? DBFGetRecordCount(dbf(handle_)) : 0;
}

QString TranslationTable::Cell(int record, int column) const {
    return fromCodePage(cellBytes(record, column));
}

QByteArray TranslationTable::cellBytes(int record, int column) const {
    if (!handle_ || column < 0 || column >= DBFGetFieldCount(dbf(handle_)))
        return {};
    const char *text = DBFReadStringAttribute(dbf(handle_), record, column);
    return text ? QByteArray(text) : QByteArray();
}

int TranslationTable::findRecord(const QByteArray &key) const {
    for (const Entry &entry : trans_[uint8_t(key[0])])
        if (entry.text == key)
            return entry.record;
    return -1;
}

int TranslationTable::learn(const QByteArray &key) {
    if (readOnly_)
        return -1;
    const int record = DBFGetRecordCount(dbf(handle_));
    if (!DBFWriteStringAttribute(dbf(handle_), record, 0, cellCut(key).constData()))
        return -1;
    DBFUpdateHeader(dbf(handle_));
    trans_[uint8_t(key[0])].push_back({key, record});
    return record;
}

bool TranslationTable::editable(int record, int column) const {
    return handle_ && !readOnly_ && record >= 0 && record < RecordCount() && column >= 0 &&
           column < DBFGetFieldCount(dbf(handle_)) && !IsDeleted(record);
}

bool TranslationTable::SetCell(int record, int column, const QString &text) {
    if (!editable(record, column))
        return false;
    const QByteArray bytes = cellCut(toCodePage(text));
    const bool written = DBFWriteStringAttribute(dbf(handle_), record, column, bytes.constData());
    DBFUpdateHeader(dbf(handle_)); // writes the record out and flushes the file
    return written;
}

int TranslationTable::AppendRecord() {
    if (!handle_ || readOnly_)
        return -1;
    const int record = RecordCount();
    if (!DBFWriteStringAttribute(dbf(handle_), record, 0, ""))
        return -1;
    DBFUpdateHeader(dbf(handle_));
    return record;
}

bool TranslationTable::DeleteRecord(int record) {
    if (!editable(record, 0) || !DBFMarkRecordDeleted(dbf(handle_), record, true))
        return false;
    DBFUpdateHeader(dbf(handle_));
    for (std::vector<Entry> &bucket : trans_)
        std::erase_if(bucket, [record](const Entry &entry) { return entry.record == record; });
    return true;
}

bool TranslationTable::IsDeleted(int record) const {
    return handle_ && record >= 0 && record < RecordCount() &&
           DBFIsRecordDeleted(dbf(handle_), record);
}

bool TranslationTable::translateFilterRecord(int record, const QString &search) const {
    if (!handle_ || record < 0 || record >= RecordCount() || IsDeleted(record))
        return false;
    if (search.isEmpty())
        return true;
    const QString needle = foldedAToZ(search);
    const int columns = DBFGetFieldCount(dbf(handle_));
    for (int column = 0; column < columns; ++column)
        if (foldedAToZ(Cell(record, column)).contains(needle))
            return true;
    return false;
}

int TranslationTable::MergeTranslations(const QString &csvFile, int column) {
    QFile file(csvFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    if (!handle_ || readOnly_ || column < 1 || column >= DBFGetFieldCount(dbf(handle_)))
        return 0;
    file.readLine(); // the column names
    int written = 0;
    while (!file.atEnd()) {
        const QStringList cells = csvCells(QString::fromUtf8(file.readLine()));
        if (cells.size() < 2)
            continue;
        const QByteArray key = toCodePage(cells[0].trimmed());
        const QByteArray translation = cellCut(toCodePage(cells[1]));
        if (key.isEmpty() || translation.trimmed().isEmpty())
            continue;
        int record = findRecord(key);
        if (record < 0)
            record = learn(key);
        else if (!trimmedCell(cellBytes(record, column)).isEmpty())
            continue;
        if (record >= 0 &&
            DBFWriteStringAttribute(dbf(handle_), record, column, translation.constData()))
            ++written;
    }
    if (written > 0) // merged at every start: an unchanged table is not written
        DBFUpdateHeader(dbf(handle_));
    return written;
}

} // namespace morvilo
