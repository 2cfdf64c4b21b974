#pragma once

#include <QByteArray>
#include <QString>
#include <QTranslator>

#include <cstdint>
#include <functional>
#include <vector>

class QIODevice;

// The repeating-key byte cipher of the language file: byte n of the text uses key byte n mod key length, and
// the output is as long as the text. An empty key leaves the text as it is.
QByteArray AddKey(const QByteArray& text, const QByteArray& key);
QByteArray SubtractKey(const QByteArray& text, const QByteArray& key);

// The keys built into every copy of the program: the files of one copy are the files of all.
QByteArray DefaultKeyA();
QByteArray DefaultKeyB();
QByteArray BuiltInMasterKeyA();
QByteArray BuiltInMasterKeyB();

struct TLanguageEntry {
    QString EnglishText;     // the program's own text (one line, no accelerator mark, no trailing dots)
    QString TranslatedText;
    QString EnglishUpper;    // EnglishText with a..z in upper case: the lookup key
};

// The translation table: up to kMaxEntries pairs of English text and translation, read from "language.llf" in
// the settings folder. Texts of the file are 8-bit, read and written as Latin-1. Without a readable file every
// text stays as the program writes it.
class TLanguage {
public:
    static constexpr int kMaxEntries = 4000;
    static constexpr int kLoadAttempts = 10;
    static constexpr int kRetryPauseMs = 20;
    // No real table comes near this; a larger file is refused before anything of it is read.
    static constexpr qint64 kMaxFileBytes = qint64(32) << 20;
    static constexpr const char* kFileName = "language.llf";

    explicit TLanguage(bool loadNow = false);

    QByteArray pC;  // the language's name
    QByteArray pP;  // carried by the file, unused
    QByteArray pD;  // carried by the file (scrambled there), unused
    QString LastError;
    std::vector<TLanguageEntry> Entries;  // Count() of them, at most kMaxEntries
    QByteArray KeyA;
    QByteArray KeyB;
    QByteArray MasterKeyA;
    QByteArray MasterKeyB;
    // Waits between two attempts on a file in use; tests replace it.
    std::function<void(int milliseconds)> Pause;

    int Count() const { return int(Entries.size()); }
    void ResetDefaults();
    // The file of the settings folder: true on success and when there is none (defaults then).
    bool Load();
    // The same for a file anywhere (the language tool's input).
    bool LoadFile(const QString& path);
    // Reads one component stream of the class from the bytes; false (defaults, "Unsupported format") when they
    // are no such stream.
    bool ReadFrom(const QByteArray& bytes);
    // The component stream a LoadFile reads back to this table.
    QByteArray WriteStream() const;

    // Index of the entry for the text, or -1: the first written exactly so, else the first that differs only in
    // the case of ASCII letters.
    int Lookup(const QString& text) const;
    // Replaces one line by its translation; false (line unchanged) when there is none.
    bool TranslateLine(QString& line) const;
    // Translates line by line, keeping each line's accelerator mark and trailing dots, commas and blanks.
    // allFound (optional) tells whether every line had an entry.
    QString TranslateText(const QString& text, bool* allFound = nullptr) const;

    // The published properties as the file stores them.
    QByteArray GetpA() const;
    QByteArray GetpB() const;
    QByteArray GetpD() const;
    QByteArray GetpI() const;
    void SetpA(const QByteArray& value);
    void SetpB(const QByteArray& value);
    void SetpD(const QByteArray& value);
    void SetpI(const QByteArray& value);

    void AddEntry(const QString& english, const QString& translated);

private:
    bool LoadAttempt(const QString& path);
    bool ApplyProperties(const QByteArray& bytes);
};

// ASCII letters a..z in upper case, every other character as it is.
QString AsciiUpperCase(const QString& text);

// One line as the table sees it: the trailing blanks, commas and periods set aside (a line of nothing else
// keeps them), then the first "&" taken out and the character after it noted.
struct TLineParts {
    QString Key;   // what the table looks up
    QChar Letter;  // the accelerator letter; null when the line has no mark or the mark is last
    QString Tail;
};
TLineParts SplitLine(const QString& line);

// The program's table: created on first use, loading the language file then; null when it cannot be made.
TLanguage* GetLanguage();
// Frees the table (program end); the next use creates it again.
void FreeLanguage();
// Makes Translate answer from the program's table, so every caption made from now on is translated. Called
// first thing at program start, before any caption exists.
void InstallLanguage();

// Qt's own dialogs (files, printing, colours, the error box's button) ask this for their texts: a text the table
// has shows translated, any other as Qt writes it. Install it on the application once it exists.
class TLanguageTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
};
