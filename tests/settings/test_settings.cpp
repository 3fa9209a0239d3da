// prog.ini and Strum.ini: the formats the utility reads and writes, and the defaults for files that
// are missing, short or damaged.

#include "serial.h"
#include "settings.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include <sys/stat.h>

namespace {

QByteArray Crlf(const QList<QByteArray>& lines) {
    QByteArray out;
    for (const QByteArray& line : lines) {
        out += line + "\r\n";
    }
    return out;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

const QByteArray Line4 = "COMM Number = ";
const QByteArray Line5 = "Language Type (0=Italian 1=English) = ";
const QByteArray Line6 = "Language (0=Italian 1=English) = ";

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void readsProgIni_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("startMs");
        QTest::addColumn<int>("mainMs");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("hide");
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("kept"); // ProgIniLines after reading

        const QString d1 = settings::DefaultProgIniLine(1);
        const QString d2 = settings::DefaultProgIniLine(2);
        const QString d3 = settings::DefaultProgIniLine(3);
        const int def = DefaultReplyTimeoutMs;

        QTest::newRow("complete, CR LF")
            << Crlf({"Tempo risposta = 300", "Tempo principale = 800", "Ritardo = 250", Line4 + "2",
                     Line5 + "1", Line6 + "1"})
            << 300 << 800 << 250 << 2 << 1 << 1
            << QStringList{"Tempo risposta = 300", "Tempo principale = 800", "Ritardo = 250"};
        QTest::newRow("complete, LF only")
            << QByteArray("a = 120\nb = 130\nc = 40\nCOMM Number = 6\nx = 0\ny = 0\n") << 120 << 130 << 40
            << 6 << 0 << 0 << QStringList{"a = 120", "b = 130", "c = 40"};
        QTest::newRow("no final line end")
            << QByteArray("a = 1\r\nb = 2\r\nc = 3\r\nP = 4\r\nH = 0\r\nL = 1") << 1 << 2 << 3 << 4 << 0 << 1
            << QStringList{"a = 1", "b = 2", "c = 3"};
        QTest::newRow("missing file")
            << QByteArray() << def << def << 0 << 1 << 0 << 0 << QStringList{d1, d2, d3};
        QTest::newRow("only two lines") << Crlf({"a = 200", "b = 300"}) << 200 << 300 << 0 << 1 << 0 << 0
                                        << QStringList{"a = 200", "b = 300", d3};
        QTest::newRow("four lines") << Crlf({"a = 200", "b = 300", "c = 5", Line4 + "3"}) << 200 << 300 << 5
                                    << 3 << 0 << 0 << QStringList{"a = 200", "b = 300", "c = 5"};
        QTest::newRow("line 2 without =")
            << Crlf({"a = 200", "b 300", "c = 5", Line4 + "1", Line5 + "0", Line6 + "0"}) << 200 << def << 5
            << 1 << 0 << 0 << QStringList{"a = 200", d2, "c = 5"};
        QTest::newRow("empty lines 1-3") << Crlf({"", "", "", Line4 + "2", Line5 + "0", Line6 + "1"}) << def
                                         << def << 0 << 2 << 0 << 1 << QStringList{d1, d2, d3};
        QTest::newRow("zero time-out gets the default, line kept")
            << Crlf({"a = 0", "b = -20", "c = 0", Line4 + "1", Line5 + "0", Line6 + "0"}) << def << def << 0
            << 1 << 0 << 0 << QStringList{"a = 0", "b = -20", "c = 0"};
        QTest::newRow("negative pause means none")
            << Crlf({"a = 100", "b = 100", "c = -5", Line4 + "1", Line5 + "0", Line6 + "0"}) << 100 << 100
            << -5 << 1 << 0 << 0 << QStringList{"a = 100", "b = 100", "c = -5"};
        QTest::newRow("number ends at the first other character")
            << Crlf({"a = 450 ms", "b =900", "c = 12x4", Line4 + "1", Line5 + "0", Line6 + "0"}) << 450 << 900
            << 12 << 1 << 0 << 0 << QStringList{"a = 450 ms", "b =900", "c = 12x4"};
        QTest::newRow("first = counts")
            << Crlf({"a (x=1) = 700", "b = 1", "c = 2", Line4 + "1", Line5, Line6 + "1"}) << 1 << 1 << 2 << 1
            << 0 << 1 << QStringList{"a (x=1) = 700", "b = 1", "c = 2"};
        QTest::newRow("port 10: last character only")
            << Crlf({"a = 100", "b = 100", "c = 0", Line4 + "10", Line5 + "0", Line6 + "0"}) << 100 << 100
            << 0 << 0 << 0 << 0 << QStringList{"a = 100", "b = 100", "c = 0"};
        QTest::newRow("port not a digit")
            << Crlf({"a = 100", "b = 100", "c = 0", Line4 + "x", Line5 + "0", Line6 + "0"}) << 100 << 100 << 0
            << 0 << 0 << 0 << QStringList{"a = 100", "b = 100", "c = 0"};
        QTest::newRow("empty port line gets the default")
            << Crlf({"a = 100", "b = 100", "c = 0", "", Line5 + "1", Line6 + "1"}) << 100 << 100 << 0 << 1
            << 1 << 1 << QStringList{"a = 100", "b = 100", "c = 0"};
        QTest::newRow("language 2 is kept (shows Italian)")
            << Crlf({"a = 100", "b = 100", "c = 0", Line4 + "5", Line5 + "0", Line6 + "2"}) << 100 << 100 << 0
            << 5 << 0 << 2 << QStringList{"a = 100", "b = 100", "c = 0"};
        QTest::newRow("time-out beyond 16 bits is clamped")
            << Crlf({"a = 99999", "b = 100", "c = 0", Line4 + "1", Line5 + "0", Line6 + "0"}) << 32767 << 100
            << 0 << 1 << 0 << 0 << QStringList{"a = 99999", "b = 100", "c = 0"};
    }
    void readsProgIni() {
        QFETCH(QByteArray, content);
        Modulo1 m;
        m.ProgIniLines = QStringList{"stale"};
        settings::ParseProgIni(content, m);
        QTEST(int(m.StartReplyTimeoutMs), "startMs");
        QTEST(int(m.MainReplyTimeoutMs), "mainMs");
        QTEST(int(m.PollDelayMs), "delayMs");
        QTEST(int(m.CommPortNumber), "port");
        QTEST(int(m.HideLanguageMenu), "hide");
        QTEST(int(m.LanguageIndex), "language");
        QTEST(m.ProgIniLines, "kept");
    }

    // Lines 1-3 go back exactly as they were read (any label, any code-page character); lines 4-6
    // are the program's own, with CR LF line ends.
    void writesProgIniInItsFormat() {
        const QByteArray odd = "Tempo di risposta \xe9 (ms)  =  300  ";
        Modulo1 m;
        settings::ParseProgIni(Crlf({odd, "second=100", "third = 7", Line4 + "4", Line5 + "1", Line6 + "0"}),
                               m);
        m.CommPortNumber = 3;
        m.LanguageIndex = 1;
        QCOMPARE(settings::FormatProgIni(m),
                 Crlf({odd, "second=100", "third = 7", "COMM Number = 3",
                       "Language Type (0=Italian 1=English) = 1", "Language (0=Italian 1=English) = 1"}));
    }

    // A file made from defaults reads back to the same values.
    void defaultsWriteAValidFile() {
        Modulo1 m;
        settings::ParseProgIni(QByteArray(), m);
        const QByteArray written = settings::FormatProgIni(m);
        QCOMPARE(written.count("\r\n"), 6);
        QVERIFY(written.startsWith("Start reply timeout (ms) = 500\r\n"));
        Modulo1 again;
        settings::ParseProgIni(written, again);
        QCOMPARE(again.StartReplyTimeoutMs, m.StartReplyTimeoutMs);
        QCOMPARE(again.MainReplyTimeoutMs, m.MainReplyTimeoutMs);
        QCOMPARE(again.PollDelayMs, m.PollDelayMs);
        QCOMPARE(again.CommPortNumber, uint8_t(1));
        QCOMPARE(again.HideLanguageMenu, uint8_t(0));
        QCOMPARE(again.LanguageIndex, uint8_t(0));
        QCOMPARE(again.ProgIniLines, m.ProgIniLines);
        // A fresh state that never read a file writes the default lines too.
        QCOMPARE(settings::FormatProgIni(Modulo1{}), written);
    }

    void progIniOnDisk() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Modulo1 m;
        QVERIFY(!settings::ReadProgIni(m, dir.path())); // missing: defaults
        QCOMPARE(m.StartReplyTimeoutMs, int16_t(DefaultReplyTimeoutMs));
        m.CommPortNumber = 5;
        QVERIFY(settings::WriteProgIni(m, dir.path()));
        Modulo1 again;
        QVERIFY(settings::ReadProgIni(again, dir.path()));
        QCOMPARE(again.CommPortNumber, uint8_t(5));
        QCOMPARE(ReadFile(dir.filePath("prog.ini")), settings::FormatProgIni(m));
        QVERIFY(!settings::WriteProgIni(m, dir.filePath("no/such/dir")));
    }

    // A write goes through a temporary file renamed over a regular file only: a directory, a FIFO or
    // a link to a device in its place is left alone (with root rights the rename would replace even a
    // device node), and the failure says which file and why.
    void writesOnlyOverRegularFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("reason");
        QTest::newRow("directory") << "dir" << int(settings::FileProblem::NotRegularFile);
        QTest::newRow("FIFO") << "fifo" << int(settings::FileProblem::NotRegularFile);
        QTest::newRow("link to a FIFO") << "link" << int(settings::FileProblem::NotRegularFile);
        QTest::newRow("folder below a file") << "below" << int(settings::FileProblem::System);
    }
    void writesOnlyOverRegularFiles() {
        QFETCH(QString, kind);
        QFETCH(int, reason);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString folder = dir.path();
        const QString fifo = dir.filePath("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        if (kind == QLatin1String("dir")) {
            QVERIFY(QDir(folder).mkdir("prog.ini"));
        } else if (kind == QLatin1String("fifo")) {
            QVERIFY(QFile::rename(fifo, dir.filePath("prog.ini")));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(fifo, dir.filePath("prog.ini")));
        } else {
            QVERIFY(WriteFile(dir.filePath("file"), "x"));
            folder = dir.filePath("file/settings");
        }
        const QString path = QDir(folder).filePath("prog.ini");
        const QFileInfo before(path);
        Modulo1 m;
        settings::FileProblem problem;
        QVERIFY(!settings::WriteProgIni(m, folder, &problem));
        QCOMPARE(int(problem.reason), reason);
        QCOMPARE(problem.path, path);
        QCOMPARE(problem.systemText.isEmpty(), reason != settings::FileProblem::System);
        const QFileInfo after(path);
        QCOMPARE(after.exists(), before.exists());
        QCOMPARE(after.isFile(), before.isFile());
        QCOMPARE(after.isSymLink(), before.isSymLink());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(),
                 kind == QLatin1String("below") ? 2 : (kind == QLatin1String("link") ? 2 : 1));
    }

    void readsInstrumentList_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<int>>("ticked");
        QByteArray all;
        QByteArray every3rd;
        QList<int> all32;
        QList<int> thirds;
        for (int n = 1; n <= 32; ++n) {
            all += "1\r\n";
            all32 << n;
            every3rd += n % 3 == 0 ? "1\r\n" : "0\r\n";
            if (n % 3 == 0) {
                thirds << n;
            }
        }
        QTest::newRow("all ticked") << all << all32;
        QTest::newRow("every third") << every3rd << thirds;
        QTest::newRow("empty file") << QByteArray() << QList<int>{};
        QTest::newRow("short file") << QByteArray("0\r\n1\r\n") << QList<int>{2};
        QTest::newRow("value 1 in other spellings")
            << QByteArray("1\n 1 \n1.0\n2\n-1\nx\n01\n") << QList<int>{1, 2, 3, 7};
        QTest::newRow("lines beyond 32 ignored") << all + "1\r\n1\r\n" << all32;
    }
    void readsInstrumentList() {
        QFETCH(QByteArray, content);
        QFETCH(QList<int>, ticked);
        const settings::InstrumentList list = settings::ParseInstrumentList(content);
        QList<int> got;
        for (int n = 1; n <= 32; ++n) {
            if (list[n]) {
                got << n;
            }
        }
        QCOMPARE(got, ticked);
        QVERIFY(!list[0]);
    }

    void writesInstrumentList() {
        settings::InstrumentList list{};
        list[1] = list[7] = list[32] = true;
        const QByteArray text = settings::FormatInstrumentList(list);
        const QList<QByteArray> lines = text.split('\n');
        QCOMPARE(lines.size(), 33); // 32 lines and nothing after the last line end
        QVERIFY(lines.last().isEmpty());
        for (int n = 1; n <= 32; ++n) {
            QCOMPARE(lines.at(n - 1), QByteArray(list[n] ? "1\r" : "0\r"));
        }

        QTemporaryDir dir;
        QVERIFY(!settings::LoadInstrumentList(dir.path()).has_value());
        QVERIFY(settings::SaveInstrumentList(dir.path(), list));
        QCOMPARE(ReadFile(dir.filePath("Strum.ini")), text);
        const auto loaded = settings::LoadInstrumentList(dir.path());
        QVERIFY(loaded.has_value());
        QVERIFY(*loaded == list);
        QVERIFY(WriteFile(dir.filePath("Strum.ini"), "0\r\n0\r\n1\r\n"));
        QVERIFY((*settings::LoadInstrumentList(dir.path()))[3]);
    }

    void settingsDirectoryIsTheProgramsOwnWhenWritable() {
        // The test binary's directory is writable in the build tree.
        QCOMPARE(settings::DefaultSettingsDirectory(), QCoreApplication::applicationDirPath());
    }

    void settingsDirectoryOfAnInstalledProgram_data() {
        QTest::addColumn<QString>("programDir");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("portable");
        QTest::newRow("own folder, writable") << "/home/tech/quartel" << true << true;
        QTest::newRow("own folder, read-only") << "/home/tech/quartel" << false << false;
        QTest::newRow("folder inside /usr/bin") << "/usr/bin/quartel" << true << true;
        QTest::newRow("/usr/bin, writable for root") << "/usr/bin" << true << false;
        QTest::newRow("/usr/bin, read-only") << "/usr/bin" << false << false;
        QTest::newRow("/usr/bin/ with a slash") << "/usr/bin/" << true << false;
        QTest::newRow("/usr/local/bin") << "/usr/local/bin" << true << false;
        QTest::newRow("/usr/local/bin by a detour") << "/usr/local/lib/../bin" << true << false;
        QTest::newRow("/bin") << "/bin" << true << false;
        QTest::newRow("/usr/sbin") << "/usr/sbin" << true << false;
        QTest::newRow("/usr/local/binaries") << "/usr/local/binaries" << true << true;
        QTest::newRow("no directory known") << "" << true << false;
    }

    void settingsDirectoryOfAnInstalledProgram() {
        QFETCH(QString, programDir);
        QFETCH(bool, writable);
        QFETCH(bool, portable);
        const QString user = "/home/tech/.config/Quartel/quartel-setup";
        QCOMPARE(settings::ChooseSettingsDirectory(programDir, writable, user), portable ? programDir : user);
    }

    void firstStartWritesTheDefaults_data() {
        QTest::addColumn<QString>("present"); // what the directory holds before the start
        QTest::newRow("empty directory") << "";
        QTest::newRow("prog.ini there") << "prog.ini";
        QTest::newRow("Strum.ini there") << "Strum.ini";
        QTest::newRow("prog.ini a dangling link") << "link";
    }

    void firstStartWritesTheDefaults() {
        QFETCH(QString, present);
        QTemporaryDir dir;
        const QByteArray ownProg =
            Crlf({"a = 900", "b = 800", "c = 20", Line4 + "3", Line5 + "0", Line6 + "1"});
        const QByteArray ownStrum = Crlf({"0", "1"});
        if (present == "prog.ini") {
            QVERIFY(WriteFile(dir.filePath("prog.ini"), ownProg));
        } else if (present == "Strum.ini") {
            QVERIFY(WriteFile(dir.filePath("Strum.ini"), ownStrum));
        } else if (present == "link") {
            QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("prog.ini")));
        }

        QVERIFY(settings::WriteMissingDefaults(dir.path()));

        Modulo1 defaults;
        settings::ParseProgIni(QByteArray(), defaults);
        if (present == "link") {
            QVERIFY(QFileInfo(dir.filePath("prog.ini")).isSymLink());
            QVERIFY(!QFileInfo::exists(dir.filePath("gone")));
        } else {
            QCOMPARE(ReadFile(dir.filePath("prog.ini")),
                     present == "prog.ini" ? ownProg : settings::FormatProgIni(defaults));
        }
        QCOMPARE(ReadFile(dir.filePath("Strum.ini")),
                 present == "Strum.ini" ? ownStrum : settings::FormatInstrumentList({}));
        if (present.isEmpty()) {
            // What was written reads back as the defaults.
            Modulo1 m;
            QVERIFY(settings::ReadProgIni(m, dir.path()));
            QCOMPARE(m.StartReplyTimeoutMs, defaults.StartReplyTimeoutMs);
            QCOMPARE(int(m.CommPortNumber), settings::DefaultCommPortNumber);
            QCOMPARE(int(m.LanguageIndex), settings::DefaultLanguageIndex);
            const auto list = settings::LoadInstrumentList(dir.path());
            QVERIFY(list.has_value());
            QVERIFY(std::none_of(list->begin(), list->end(), [](bool ticked) { return ticked; }));
        }
    }

    void firstStartInADirectoryThatCannotHoldFiles() {
        // A regular file where the directory should be: nothing can be written, and it is said.
        QTemporaryDir dir;
        const QString notADirectory = dir.filePath("file");
        QVERIFY(WriteFile(notADirectory, "x"));
        QVERIFY(!settings::WriteMissingDefaults(notADirectory));
        QCOMPARE(ReadFile(notADirectory), QByteArray("x"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
