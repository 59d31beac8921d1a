#pragma once
// Runs the relief generator on a worker thread while the window stays alive; a run that
// takes longer than a moment shows a progress dialog whose "Abbrechen" stops it (the output
// file then stays as it was). The output is a temporary file of ours (OutputFile's
// OwnTemporary). A message of the result that carries values comes back translated.

#include "relief/reliefgenerator.h"

#include <QString>

#include <optional>

class QWidget;

namespace morvilo {

// The roughing file of the strategy "Fläche" when it goes into a file of its own: a relative
// name lies beside the picture. Refused when it names the picture or the program's output.
std::optional<ReliefResult> PlaceRoughOutput(ReliefParameters &p, const std::string &picture,
                                             const std::string &output);

ReliefResult RunReliefWithProgress(QWidget *owner, const ReliefParameters &p,
                                   const std::string &picture, const std::string &output);

} // namespace morvilo
