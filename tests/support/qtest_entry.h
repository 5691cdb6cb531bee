// A window test file is one entry of its folder's test program, not a program
// of its own: in place of QTEST_MAIN it ends with
//   ESTIMETRIX_QTEST_MAIN(ItsTestClass)         (a QApplication, as QTEST_MAIN)
//   ESTIMETRIX_QTEST_APPLESS_MAIN(ItsTestClass) (none, as QTEST_APPLESS_MAIN)
// which define qtest_main_ItsTestClass(argc, argv). tests/CMakeLists.txt reads
// the class name from the file and lists the entry in the folder's runner.
// The entry is named after the class, so nothing differs from file to file on
// the command line: every file can use the folder's precompiled headers, and
// several files can be compiled as one.
#pragma once

#include <QApplication>
#include <QtTest>

#define ESTIMETRIX_QTEST_APPLESS_MAIN(TestObject)      \
  int qtest_main_##TestObject(int argc, char** argv) { \
    TestObject test;                                   \
    return QTest::qExec(&test, argc, argv);            \
  }

#define ESTIMETRIX_QTEST_MAIN(TestObject)              \
  int qtest_main_##TestObject(int argc, char** argv) { \
    QApplication app(argc, argv);                      \
    app.setAttribute(Qt::AA_Use96Dpi, true);           \
    TestObject test;                                   \
    return QTest::qExec(&test, argc, argv);            \
  }
