#pragma once
// The main window: start-up and close steps, the command map (main menu, toolbar, the grid's
// pop-up menu) and the table document (New, Open, Append, Save, Close).
#include "data/tabledocument.h"
#include "dbase/dbftable.h"

#include <QMainWindow>
#include <QSettings>
#include <functional>
#include <memory>

class QAction;
class QDialog;
class QMenu;
class QToolBar;
class QToolButton;
class HelpWindow;
class MeasurementReport;
class TableController;

// The program title: application title, window-title suffix and caption of the save question.
QString programTitle();

class TForm1 : public QMainWindow, private TableDocument::Listener
{
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // The windows created after this one at start-up; the main window shows them.
    void setDownloadDialog(QDialog *form2) { m_form2 = form2; }
    void setChartWindows(QDialog *form3, QDialog *form4)
    {
        m_form3 = form3;
        m_form4 = form4;
    }
    void setAboutBox(QDialog *form6) { m_form6 = form6; }
    // The download step of New and Append: returns the download dialog's result, 1 (success)
    // or 2. By default the download dialog is shown modally.
    void setDownloadStep(std::function<int()> step) { m_downloadStep = std::move(step); }
    // Hands the help file to a viewer; by default the program's own help window.
    void setHelpViewer(std::function<void(const QString &)> viewer) { m_helpViewer = std::move(viewer); }

    // The table document (src/data/tabledocument.h), and its table and flags under the window's
    // own names. The window asks the document to act and follows what it tells.
    const TableDocument &document() const { return m_document; }
    DbfTable &Dbf1() { return m_document.table(); }
    bool TableOpen() const { return m_document.isOpen(); }
    bool TableModified() const { return m_document.isModified(); }

    void Open_DB(const QString &fileName);
    void Create_DB();
    void Save_DB();
    void Close_DB();

    // Table commands and the grid's visibility.
    void enable_button();
    void disable_button();
    void tab_vis_en();
    void tab_vis_dis();

    // Handlers of the command map (unguarded; the menu, toolbar and pop-up run them guarded).
    void N2Click();  // Создать
    void N3Click();  // Открыть
    void N4Click();  // Дополнить
    void N5Click();  // Сохранить
    void N7Click();  // Закрыть
    void N8Click();  // Предварительный просмотр
    void N9Click();  // Печать
    void N11Click(); // Выход
    void N15Click(); // Построить график / График
    void N17Click(); // Задать цвет
    void N18Click(); // Убрать цвет
    void N19Click(); // Убрать все цвета
    void N21Click(); // Удалить строки / Удалить
    void N22Click(); // Печать (pop-up)
    void N23Click(); // Выровнять столбцы
    void N24Click(); // Помощь
    void N26Click(); // О программе
    void N33Click(); // Убрать сортировку
    void N37Click(); // Перенумеровать строки
    void Excel1Click();
    void Ports1Click(); // Настройка портов
    void ToolButton6Click();

    QString defaultFolder() const { return m_defaultFolder; }
    QString dialogFolder() const { return m_dialogFolder; }
    QString helpFile() const { return m_helpFile; }
    HelpWindow *helpWindow() const { return m_helpWindow; } // null until help is first asked for
    QColor backgroundColour() const;
    QWidget *grid() const;
    TableController *tableController() const { return m_view; }

    // Main menu items, by their designer names.
    QAction *N2 = nullptr, *N3 = nullptr, *N4 = nullptr, *N5 = nullptr, *N7 = nullptr, *N8 = nullptr,
            *N9 = nullptr, *N11 = nullptr, *N23 = nullptr, *N17 = nullptr, *N18 = nullptr, *N19 = nullptr,
            *N33 = nullptr, *N21 = nullptr, *Excel1 = nullptr, *N37 = nullptr, *N15 = nullptr, *N24 = nullptr,
            *N26 = nullptr, *Ports1 = nullptr;
    QToolBar *ToolBar1 = nullptr;
    QToolButton *ToolButton1 = nullptr, *ToolButton2 = nullptr, *ToolButton3 = nullptr,
                *ToolButton4 = nullptr, *ToolButton5 = nullptr, *ToolButton6 = nullptr;
    QMenu *PopupMenu1 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildPopupMenu();
    void FormCreate();
    bool FormClose();
    void setBackground(bool tableOpen);
    void setTableCommandsEnabled(bool enabled);
    void setTitle(const QString &title);
    // What the table document tells the window.
    void openChanged(bool open) override;
    void titleChanged(const QString &title) override;
    void tableReady(bool newlyOpened) override;
    void aboutToAppend() override;
    void aboutToSave() override;
    void aboutToClose() override;
    int runDownload();
    QAction *command(QMenu *menu, const QString &caption, void (TForm1::*handler)(), int picture = -1,
                     const QKeySequence &shortcut = {});

    TableDocument m_document{programTitle()};
    std::unique_ptr<QSettings> m_settings;
    QString m_defaultFolder;
    QString m_dialogFolder;
    QString m_helpFile;
    QString m_saveFileName;
    QWidget *m_client = nullptr;
    TableController *m_view = nullptr;
    MeasurementReport *m_report = nullptr;
    QDialog *m_form2 = nullptr, *m_form3 = nullptr, *m_form4 = nullptr, *m_form6 = nullptr;
    std::function<int()> m_downloadStep;
    std::function<void(const QString &)> m_helpViewer;
    HelpWindow *m_helpWindow = nullptr;
};
