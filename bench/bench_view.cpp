// The grid and the table view commands on large tables (offscreen): opening, scrolling, sorting
// by a column, selecting all rows (footer statistics), deleting 1 000 selected rows, renumbering
// and the double-click walk. Figures only.
#include "base/regional.h"
#include "components/widgets/dbgrid.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "support/tablebuilder.h"
#include "ui/prompts.h"
#include "view/widgets/tablecontroller.h"

#include <QApplication>
#include <QFile>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

class SilentPrompts : public Prompts
{
public:
    int messages = 0;
    void showMessage(const QString &, const QString &, MessageIcon) override { ++messages; }
    Answer askYesNo(const QString &, const QString &, MessageIcon) override { return Answer::No; }
    QString saveFileName(const FileDialogRequest &) override { return {}; }
    QString openFileName(const FileDialogRequest &) override { return {}; }
    bool chooseColor(QColor *) override { return false; }
    bool printDialog(QPrinter *, int) override { return false; }
};

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

// A measurement table of `rows` observation readings, written once and copied for each use.
QString templateFile(int rows)
{
    static std::map<int, QString> made;
    auto it = made.find(rows);
    if (it != made.end())
        return it->second;
    const QString path = scratch().filePath(QStringLiteral("template%1.db").arg(rows));
    DbfTable table{Measurement::schema()};
    table.setFileName(path);
    table.create();
    table.open();
    appendRows(table, rows, [](int i) {
        MeasurementRow row;
        row.n = i % 9999 + 1;
        row.observation = true;
        row.date = QStringLiteral("%1.11.2005").arg(1 + i % 28, 2, 10, QLatin1Char('0'));
        row.time = QStringLiteral("09:%1:30").arg(i % 60, 2, 10, QLatin1Char('0'));
        row.mass = 100.0 + (i * 37 % 1000) / 10.0;
        row.series = 1 + i % 255;
        return row;
    });
    table.close();
    made[rows] = path;
    return path;
}

// A fresh copy of the template, open, with the table view over it in a 1000 x 500 window.
struct Scene
{
    DbfTable table{Measurement::schema()};
    QWidget window;
    std::unique_ptr<TableController> view;

    explicit Scene(int rows, bool open = true)
    {
        const QString path = scratch().filePath(QStringLiteral("work.db"));
        QFile::remove(path);
        QFile::remove(scratch().filePath(QStringLiteral("work.mdx")));
        QFile::copy(templateFile(rows), path);
        table.setFileName(path);
        window.resize(1000, 500);
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        view = std::make_unique<TableController>(&table, &window);
        layout->addWidget(view->grid());
        window.show();
        if (open)
            table.open();
        QApplication::processEvents();
    }
    DbGrid *grid() const { return view->dbGrid(); }
    void paint() { grid()->view()->viewport()->repaint(); }
};

void BM_Open(benchmark::State &state)
{
    Scene scene(int(state.range(0)), false);
    for (auto _ : state) {
        scene.table.open();
        scene.paint();
        state.PauseTiming();
        scene.table.close();
        state.ResumeTiming();
    }
}

void BM_ScrollPage(benchmark::State &state)
{
    Scene scene(int(state.range(0)));
    QScrollBar *bar = scene.grid()->view()->verticalScrollBar();
    int step = 0;
    for (auto _ : state) {
        // A page down, and now and then a jump to the other end.
        if (++step % 50 == 0)
            bar->setValue(bar->value() < bar->maximum() / 2 ? bar->maximum() : 0);
        else
            bar->setValue(bar->value() + bar->pageStep());
        scene.paint();
    }
}

void BM_SortByColumn(benchmark::State &state)
{
    Scene scene(int(state.range(0)));
    const int mass = scene.grid()->columnIndex(Measurement::T_1);
    for (auto _ : state) {
        scene.grid()->titleClick(mass, Qt::NoModifier); // descending, then ascending, ...
        scene.paint();
    }
}

void BM_SelectAllWithStatistics(benchmark::State &state)
{
    Scene scene(int(state.range(0)));
    for (auto _ : state) {
        scene.grid()->selectAllRows();
        scene.paint();
        state.PauseTiming();
        if (scene.grid()->column(5).footerText == QStringLiteral("0/0/0"))
            state.SkipWithError("no statistics");
        scene.grid()->clearSelection();
        state.ResumeTiming();
    }
}

void BM_Delete1000Selected(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<Scene>(int(state.range(0)));
        QList<int> records;
        const int rows = scene->table.rowCount();
        for (int i = 0; i < 1000; ++i)
            records.append(1 + int(qint64(i) * rows / 1000));
        scene->grid()->selectRecords(records);
        scene->grid()->titleClick(scene->grid()->columnIndex(Measurement::T_1), Qt::NoModifier);
        state.ResumeTiming();
        scene->view->deleteSelectedRows();
        scene->paint();
        state.PauseTiming();
        if (scene->table.rowCount() != rows - 1000)
            state.SkipWithError("wrong row count");
        scene.reset();
        state.ResumeTiming();
    }
}

void BM_Renumber(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<Scene>(int(state.range(0)));
        if (state.range(1))
            scene->grid()->titleClick(scene->grid()->columnIndex(Measurement::T_1), Qt::NoModifier);
        state.ResumeTiming();
        try {
            scene->view->renumberRows();
        } catch (const QpxError &) {
            // More rows than N can number: refused before anything is written.
        }
        scene->paint();
        state.PauseTiming();
        scene.reset();
        state.ResumeTiming();
    }
}

void BM_DoubleClickWalk(benchmark::State &state)
{
    Scene scene(int(state.range(0)));
    for (auto _ : state) {
        scene.view->walkRows();
        scene.paint();
    }
}

// Rows appended one by one with the grid shown, as an import of new readings does.
void BM_Append1000Shown(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<Scene>(int(state.range(0)));
        if (!state.range(1))
            scene->grid()->setTable(nullptr); // the table alone, for comparison
        state.ResumeTiming();
        appendRows(scene->table, 1000, [](int i) {
            MeasurementRow row;
            row.n = i + 1;
            row.date = QStringLiteral("01.12.2005");
            row.time = QStringLiteral("10:00:00");
            row.mass = 100.5;
            return row;
        });
        scene->paint();
        state.PauseTiming();
        scene.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_Open)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollPage)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByColumn)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectAllWithStatistics)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Delete1000Selected)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Renumber)
    ->Args({9999, 0})
    ->Args({9999, 1})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_Append1000Shown)
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_DoubleClickWalk)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       scratch().filePath(QStringLiteral("settings")));
    static SilentPrompts prompts;
    Prompts::setInstance(&prompts);
    Regional::setCurrent(Regional::russian());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Prompts::setInstance(nullptr);
    return 0;
}
