#pragma once

#include <span>

class QWidget;

namespace qv {

// The guide's start page: the roads, the main window and where results go.
inline constexpr const char* kGuideIndexPage = "index.html";

// The guide's pages in reading order, as its window lists them.
inline constexpr const char* kGuidePages[] = {"index.html",         "connecting.html",
                                              "repeatability.html", "inter-instrument.html",
                                              "tile-set.html",      "command-line.html"};

// Where F1 leads from a window of class `window` (its metaObject()'s name). With `within`, only
// when the window was opened from a window of that class: the verdict window, the target and
// sample measurements and the write dialog serve more than one road.
struct HelpTopic {
    const char* window;
    const char* within;  // null: wherever it was opened from
    const char* page;
    const char* anchor;  // empty: the top of the page
};

std::span<const HelpTopic> helpTopics();

// The topic of `window`, or else of the window it was opened from, and so on; null when none
// of them has one (F1 then opens the index).
const HelpTopic* helpTopicFor(const QWidget* window);

}  // namespace qv
