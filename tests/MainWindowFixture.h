#pragma once
// A main window over the recording fake, in a temporary program folder with
// its own units folder and settings file. Shared by the window tests.

#include "FakeServices.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

class MainWindowFixture : public ::testing::Test {
protected:
    MainWindowFixture() : services(dir.path())
    {
        QDir(dir.path()).mkpath(QStringLiteral("units"));
        services.configDir = dir.filePath(QStringLiteral("config"));
    }

    // Writes a series file (UTF-8) into the units folder.
    void writeSeries(const QString &fileName, const QByteArray &content)
    {
        QFile file(dir.filePath(QStringLiteral("units/") + fileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    // The series most tests use: three lengths, temperatures with offsets,
    // the number bases 2 to 36.
    void writeStandardSeries()
    {
        writeSeries(QStringLiteral("length.dat"), "3\r\n\"m\",1,0,1,1\r\n\"km\",1000,0,1,1\r\n\"cm\",0.01,0,1,1\r\n");
        writeSeries(QStringLiteral("temperature.dat"),
                    "3\r\n\"C\",1,0,1,1\r\n\"K\",1,273.15,1,1\r\n\"F\",0.55555555555555556,32,1,1\r\n");
        QByteArray bases = "35\r\n";
        for (int radix = 2; radix <= 36; ++radix)
            bases += "\"" + QByteArray::number(radix) + "\xe9\x80\xb2\xe6\x95\xb0\"," + QByteArray::number(radix)
                + ",0,0,0\r\n";
        writeSeries(QStringLiteral("進数.dat"), bases);
    }

    void writeIni(const QByteArray &content)
    {
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QString iniPath() const { return dir.filePath(QStringLiteral("Tovelset.ini")); }

    QByteArray iniBytes() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Creates the window and runs its start-up; it is not shown.
    frmMain &start()
    {
        window = std::make_unique<frmMain>(services, 12345);
        loaded = window->Form_Load();
        return *window;
    }

    // Creates the window as the program does for this command line (without
    // the program's name): start-up, then what the arguments ask for.
    frmMain &startWith(const QStringList &arguments)
    {
        start();
        window->openWith(arguments);
        return *window;
    }

    // Starts, shows and activates the window, so keys and shortcuts reach it.
    frmMain &startShown()
    {
        start();
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return *window;
    }

    template<typename T>
    T *child(const char *name) const
    {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit *valueBox() const { return child<QLineEdit>("txtBeforeConv"); }
    QLineEdit *resultBox() const { return child<QLineEdit>("txtAfterConv"); }
    QComboBox *seriesList() const { return child<QComboBox>("comUnitList"); }
    QComboBox *sourceList() const { return child<QComboBox>("comBeforeConvUnit"); }
    QComboBox *targetList() const { return child<QComboBox>("comAfterConvUnit"); }
    QAction *action(const char *name) const { return child<QAction>(name); }

    void selectSeries(const QString &name)
    {
        const int index = seriesList()->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        seriesList()->setCurrentIndex(index);
    }

    // Answers the next modal window by running answer on it once it shows.
    void answerNextModal(std::function<void(QWidget *)> answer)
    {
        auto *timer = new QTimer(window.get());
        timer->setInterval(10);
        auto deadline = std::make_shared<int>(500);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, answer, deadline] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                answer(modal);
            } else if (--*deadline == 0) {
                timer->stop();
                timer->deleteLater();
                ADD_FAILURE() << "no modal window appeared";
            }
        });
        timer->start();
    }

    QTemporaryDir dir;
    FakeServices services;
    std::unique_ptr<frmMain> window;
    bool loaded = false;
};
