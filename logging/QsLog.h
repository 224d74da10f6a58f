#pragma once
// Include this to log:  QLOG_WARN() << "setPIDconf() failed";
#include "QsLogDestination.h"
#include "QsLogLevel.h"
#include "QsLogMessage.h"
#include "QsLogStatement.h"
#include "QsLogger.h"

// The level test comes first: below the logger's level no item is evaluated.
// A one-pass for loop instead of if/else, so that an unbraced if around a
// statement neither swallows a following else nor warns about it.
#define QSLOG_STATEMENT(lvl)                                                     \
    for (bool qsLogEnabled = QsLogging::Logger::instance().level() <= (lvl); \
         qsLogEnabled; qsLogEnabled = false)                                 \
    QsLogging::LogStatement(lvl).stream()

#define QLOG_TRACE() QSLOG_STATEMENT(QsLogging::Trace)
#define QLOG_DEBUG() QSLOG_STATEMENT(QsLogging::Debug)
#define QLOG_INFO() QSLOG_STATEMENT(QsLogging::Info)
#define QLOG_WARN() QSLOG_STATEMENT(QsLogging::Warn)
#define QLOG_ERROR() QSLOG_STATEMENT(QsLogging::Error)
#define QLOG_FATAL() QSLOG_STATEMENT(QsLogging::Fatal)
