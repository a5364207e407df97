#pragma once

#include "data/connection.h"
#include "data/dataset.h"
#include "support/scratch_db.h"
#include "widgets/data_source.h"
#include "widgets/messages.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace zarn::test {

// A small survey-like table in a scratch SQLite file, a dataset over it, a
// data source and a shown window to put controls on. Message windows are
// recorded instead of shown.
class WidgetTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs statements on the test's database directly.
    void exec(const QStringList &statements);
    // What the table holds now, "<null>" for null.
    QString stored(int id, const QString &column);
    int rowsInTable();
    // Makes the window active and gives a control the focus.
    void focus(QWidget *w);
    // Types text key by key into a widget; unlike QTest::keyClicks it takes
    // Chinese characters too, those outside the Basic Multilingual Plane included.
    static void typeText(QWidget *w, const QString &text);
    // Errors reported through the standard error report.
    QStringList reportedErrors() const;

    std::unique_ptr<ScratchDatabase> db;
    std::unique_ptr<zarn::Connection> conn;
    std::unique_ptr<zarn::Dataset> ds;
    std::unique_ptr<zarn::ui::DataSource> source;
    std::unique_ptr<QWidget> window;
    std::unique_ptr<zarn::ui::RecordingMessageService> messages;
};

} // namespace zarn::test
