#pragma once

#include "cmdline/panelcommandline.h"
#include "tools/pumpsim/pumpmodel.h"

#include <QString>
#include <QStringList>

// The simulated pump's command line: the pump's settings at start, its physics, the faults of
// the pump that come at a time after start, and the line faults it can be told to inject. A
// count of 0 turns the matching line fault off; a pump fault is off unless given.
class SimOptions
{
public:
    // False, with a message for the user in the language of texts, when an option is unknown
    // or out of range. --help and --version are only noted; the other values are then left
    // unread.
    bool parse(const QStringList &arguments, const CommandLineTexts &texts, QString *error);
    static QString helpText(const CommandLineTexts &texts);

    PumpModel::Parameters modelParameters() const;

    bool helpRequested = false;
    bool versionRequested = false;

    double flowMlPerMin = 500.0;
    double limitMPa = 2.0;
    bool running = false;
    int address = 0;
    double backPressureMPaPerMlMin = 0.002;
    double timeConstantS = 3.0;
    double noiseMPa = 0.01;
    quint32 seed = 1;

    int delayMs = 0;
    int dropEvery = 0;
    int noiseEvery = 0;
    bool split = false;
    int splitGapMs = 30;
    bool coalesce = false;
    int hangupAfter = 0;
    int vanishAfter = 0;
    int vanishForMs = 2000;
    int vanishEvery = 0;
    PumpModel::Faults faults; // seconds after start

    QString logPath;
    QString sentLogPath;
    QString timelinePath;
    QString linkPath;
};
