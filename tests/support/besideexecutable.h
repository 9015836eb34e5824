#pragma once
// The help file beside the executable is one file for every test process of that executable, and
// ctest runs the test cases of one executable in parallel processes: a test that writes or expects
// that file holds this lock for as long as it does.
#include <QCoreApplication>
#include <QDir>
#include <QLockFile>

class HelpFileBesideExecutable
{
public:
    HelpFileBesideExecutable() : m_lock(path() + QStringLiteral(".test-lock"))
    {
        m_lock.setStaleLockTime(0);
        m_lock.lock();
    }
    static QString path()
    {
        return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("qpx.html"));
    }

private:
    QLockFile m_lock;
};
