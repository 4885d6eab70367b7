// The painters of the generated pictures, one per family. Each takes the picture's
// file name (without ".png") and returns its canvas, or false when the family has
// no picture of that name.
#pragma once

#include <optional>
#include <string>

#include "canvas.h"
#include "lettering.h"

namespace velorin::pictures {

std::optional<Canvas> PaintNote(const std::string& name);
std::optional<Canvas> PaintFret(const std::string& name);
std::optional<Canvas> PaintBoard(const std::string& name);
std::optional<Canvas> PaintTail(const std::string& name);
std::optional<Canvas> PaintMeter(const std::string& name, const Lettering& bold);
std::optional<Canvas> PaintNumber(const std::string& name, const Lettering& bold);
std::optional<Canvas> PaintNeck(const std::string& name);
std::optional<Canvas> PaintLoading(const std::string& name, const Lettering& bold);
std::optional<Canvas> PaintBackdrop(const std::string& name);
std::optional<Canvas> PaintAbstract(const std::string& name);

// One entry point per generator program: paints a picture of the jobs that program
// owns, or nothing when the job or the name is not its own.
using JobPainter = std::optional<Canvas> (*)(const std::string& job, const std::string& name, const Lettering& bold);
std::optional<Canvas> PaintNotesJob(const std::string& job, const std::string& name, const Lettering& bold);
std::optional<Canvas> PaintFretsJob(const std::string& job, const std::string& name, const Lettering& bold);
std::optional<Canvas> PaintBoardJob(const std::string& job, const std::string& name, const Lettering& bold);
std::optional<Canvas> PaintMetersJob(const std::string& job, const std::string& name, const Lettering& bold);
std::optional<Canvas> PaintScreensJob(const std::string& job, const std::string& name, const Lettering& bold);
std::optional<Canvas> PaintMenusJob(const std::string& job, const std::string& name, const Lettering& bold);

// Splits "Note_Cymbal_Green_Open" style names at underscores.
std::vector<std::string> NameParts(const std::string& name);
// Removes the first occurrence of the word from parts; true when it was there.
bool TakeWord(std::vector<std::string>& parts, const std::string& word);
// The hue the remaining words name ("Green", "Yellow" "2", "VL", "Miss", ...);
// fallback when they name none.
Colour HueOfWords(std::vector<std::string>& parts, Colour fallback);

}  // namespace velorin::pictures
