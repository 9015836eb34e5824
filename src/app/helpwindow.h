#pragma once
// The help window: the operator's manual (an HTML file with its pictures beside it) in a window of
// the program's own, so that help works on a machine without a web browser. A list of the
// manual's headings on the left, the page on the right, back / forward, and a find field that
// highlights every match and steps through them. Modeless; the main window keeps one instance.
#include <QImage>
#include <QList>
#include <QString>
#include <QTextBrowser>
#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// The browser of the help window. A missing page shows as nothing and a missing picture as a
// small note, without a warning on stderr: the manual may be installed without some pictures.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl &name) override;
    // What stands in for a missing picture: a low strip that names the file.
    static QImage missingPicture(const QString &fileName);
};

class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the manual in `file` and brings the window to the front. The same file already shown
    // keeps the operator's place. A missing file shows nothing and returns false.
    bool showFile(const QString &file);
    QString file() const { return m_file; }

    // Finds the find field's text after (or before) the current match, wrapping round the page;
    // every match is highlighted. Returns false when the text is not in the page.
    bool findNext();
    bool findPrevious();
    int matchCount() const { return m_matches; }

    HelpBrowser *browser() const { return m_browser; }
    QLineEdit *findField() const { return m_find; }
    QTreeWidget *contents() const { return m_contents; }
    QToolButton *backButton() const { return m_back; }
    QToolButton *forwardButton() const { return m_forward; }

private:
    bool find(bool backward);
    void highlightMatches();
    void buildContents();
    void followContents(QTreeWidgetItem *item);

    HelpBrowser *m_browser = nullptr;
    QTreeWidget *m_contents = nullptr;
    QLineEdit *m_find = nullptr;
    QLabel *m_findState = nullptr;
    QToolButton *m_back = nullptr, *m_forward = nullptr, *m_home = nullptr;
    QString m_file;
    int m_matches = 0;
};
