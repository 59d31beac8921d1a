#pragma once
// translate.dbf: the learning translation table. Column language1 holds the German source text,
// column n + 1 its translation for language number n. Every German text that passes the lookup
// and is not yet in the table is appended, so translators find every text the tool shows.
// Cells hold Windows-1252 bytes; a character the code page lacks is stored as a numeric
// character reference ("Plot ▶" as "Plot &#9654;"), so every text is kept whole and two texts
// never share a record.

#include "translation/translateunit.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

namespace morvilo {

constexpr int kTranslationColumns = 19;
constexpr int kTranslationCellWidth = 255;

// Checks the header of a dBASE file held in memory: an empty text when its header and record
// layout are sound and the file holds every record the header announces, else the fault.
QString CheckDbfImage(const QByteArray &head, qint64 fileSize);

class TranslationTable {
public:
    TranslationTable() = default;
    TranslationTable(const TranslationTable &) = delete;
    TranslationTable &operator=(const TranslationTable &) = delete;
    ~TranslationTable();

    // Opens folder/translate.dbf, creating it with its nineteen columns when it is missing,
    // read-only when it cannot be written. Returns an empty text on success, otherwise the
    // message to show once (Problem()); the table then stays closed and every text passes it
    // unchanged.
    QString Open(const QString &folder);
    // Why the table could not be opened, naming the file, in the language of the lookup at the
    // moment of asking; empty after a successful Open.
    QString Problem() const;
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    // The table could be opened only for reading: lookups work, nothing is recorded.
    bool workreadonly() const { return readOnly_; }
    QString FileName() const { return fileName_; }

    // Builds the index of the source texts: one bucket per first byte, each sorted.
    void inittrans();
    // The translation of s in the given column (0 German, 1 English, ...).
    QString TranslateString(const QString &s, int column);

    // Makes this table the lookup behind morvilo::TranslateString, with the column taken from
    // the global language; the destructor and Close take it back.
    void Install();

    // Fills the cells of the given column from a UTF-8 file of "German","translation" rows (the
    // first row names the columns): only empty cells are filled, so a translator's own cells
    // stay; texts not yet in the table are appended with both cells. Returns the number of
    // cells written, or -1 when the file cannot be read. Needs the index (inittrans).
    int MergeTranslations(const QString &csvFile, int column);

    int RecordCount() const;
    // The text of one cell (empty outside the table).
    QString Cell(int record, int column) const;

    // Editing, for the translation editor. Every change reaches the file at once. On a closed
    // or read-only table, for a deleted record or outside the table nothing changes and the
    // answer is false (or -1).
    // Stores text in Windows-1252 (with character references), cut to 255 bytes. The lookup reads
    // translation cells from the table, so a new translation is used at once; the index keeps the
    // German texts it was built with, so an edited German text is matched under its new spelling
    // only after the next start.
    bool SetCell(int record, int column, const QString &text);
    // Appends an empty record; its number.
    int AppendRecord();
    // Sets the dBASE deletion mark: the index drops the record, and neither the lookup nor the
    // editor nor the next start sees it again.
    bool DeleteRecord(int record);
    bool IsDeleted(int record) const;
    // The editor's search: the record is accepted when search occurs in one of its cells,
    // only the letters a to z folded to upper case. An empty search accepts every record.
    bool translateFilterRecord(int record, const QString &search) const;

private:
    struct Entry {
        QByteArray text;
        int record;
    };

    QByteArray cellBytes(int record, int column) const;
    int findRecord(const QByteArray &key) const;
    int learn(const QByteArray &key);
    bool editable(int record, int column) const;

    void *handle_ = nullptr; // the open shapelib table
    bool readOnly_ = false;
    bool installed_ = false;
    QString fileName_;
    QString problem_, fault_; // German, passed through the lookup by Problem()
    std::array<std::vector<Entry>, 256> trans_;
};

// The lookup for when no table can be used: the shipped translations of a file of
// "German","translation" rows (as MergeTranslations reads them) while the given language column
// is active. Every other text, and every text in another language, passes unchanged.
TranslationLookup ShippedLookup(const QString &csvFile, int column);

} // namespace morvilo
