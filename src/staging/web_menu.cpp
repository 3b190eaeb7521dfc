#include "staging/web_menu.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "media/media_probe.h"
#include "menu/menu_look.h"
#include "menu/menu_model.h"
#include "project/paths.h"
#include "project/project_text.h"

namespace torvana {

std::string htmlEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : projectText(text)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            case '\0': out += "&#xFFFD;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string urlPath(const std::string& relativePath) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : relativePath) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) && u < 0x80) {
            out += c;
        } else if (c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += c;
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    return out;
}

namespace {

constexpr const char* kGeneratorMark = "<meta name=\"generator\" content=\"Torvana\">";

// A staged path below the folder as a path relative to it ("images/a.gif"); the mapping builds
// every staged path by joining names onto the folder, so the folder is its beginning.
std::string relativeTo(const std::string& folder, const std::string& path) {
    const std::string prefix = joinPath(folder, "");
    return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : fileNamePart(path);
}


// A colour of the menu's look as CSS.
std::string css(uint32_t argb) {
    static const char* hex = "0123456789abcdef";
    std::string out = "#";
    for (int shift = 20; shift >= 0; shift -= 4) out += hex[argb >> shift & 15];
    return out;
}

std::string px(int n) { return std::to_string(n) + "px"; }

// The page's style, from the numbers every player draws with (menu/menu_look.h): the same bar,
// buttons, note colour and keyboard marks.
std::string styleSheet() {
    using namespace torvana::menu;
    const std::string buttonWidth = px(kButtonWidth), buttonHeight = px(kButtonHeight);
    return "html, body { margin: 0; padding: 0; background: #000; }\n"
           "body { display: flex; min-height: 100vh; }\n"
           "#menu { margin: auto; width: 640px; flex: none; font: " + px(kFontPixels) +
           "/1 \"DejaVu Sans\", Verdana, sans-serif; }\n"
           "#stage { position: relative; width: 640px; height: 480px; overflow: hidden; background: " +
           css(kStageColour) + "; }\n"
           "#background { position: absolute; left: 0; top: 0; }\n"
           "#heading { position: absolute; width: 1px; height: 1px; margin: -1px; overflow: hidden; "
           "clip: rect(0 0 0 0); white-space: nowrap; }\n"
           ".spot { position: absolute; display: block; outline: none; }\n"
           ".spot img { display: block; visibility: hidden; }\n"
           ".spot:hover img, .spot:focus-visible img { visibility: visible; }\n"
           ".spot:focus-visible { outline: 1px dashed " + css(kFocusEdgeLight) +
           "; outline-offset: -1px; box-shadow: inset 0 0 0 1px " + css(kFocusEdgeDark) + "; }\n"
           // Buttons and areas the menu draws; a button's colours come with it (buttonStyle).
           ".spot.button { box-sizing: border-box; display: flex; align-items: center; justify-content: center; "
           "padding: 0 " + px(kSpotButtonPadding) + "; border: " + px(kSpotButtonBorder) +
           " solid var(--border); background: var(--face); color: var(--text); box-shadow: var(--bevel, none); "
           "text-decoration: none; }\n"
           ".spot.button span { overflow: hidden; white-space: nowrap; text-overflow: ellipsis; }\n"
           ".spot.button:hover { background: var(--hover); }\n"
           ".spot.button:active { background: var(--pressed); box-shadow: var(--pressed-bevel, none); }\n"
           ".spot.button img { position: absolute; left: -" + px(kSpotButtonBorder) + "; top: -" +
           px(kSpotButtonBorder) + "; }\n"
           ".spot.area img { position: absolute; left: 0; top: 0; }\n"
           ".spot.button:focus-visible, .spot.area:hover, .spot.area:focus-visible { outline: none; "
           "box-shadow: inset 0 0 0 " + px(kFocusRingWidth) + " " + css(kFocusRing) + "; }\n"
           "#bar { display: flex; align-items: center; gap: " + px(kButtonSpacing) +
           "; box-sizing: border-box; height: " + px(kBarHeight) + "; padding: 0 " + px(kBarMargin) +
           "; background: " + css(kBarColour) + "; color: " + css(kNoteColour) + "; }\n"
           "#note { flex: 1; min-width: 0; overflow: hidden; text-overflow: ellipsis; white-space: nowrap; }\n"
           "#bar a { flex: none; box-sizing: border-box; width: " + buttonWidth + "; height: " + buttonHeight +
           "; line-height: " + px(kButtonHeight - 2) + "; border: 1px solid " + css(kButtonBorder) +
           "; background: " + css(kButtonFace) + "; color: " + css(kButtonText) +
           "; text-align: center; text-decoration: none; }\n"
           "#bar a:hover { background: " + css(kButtonHoverFace) + "; }\n"
           "#bar a:active { background: " + css(kButtonPressedFace) + "; }\n"
           "#bar a:focus-visible { outline: none; box-shadow: inset 0 0 0 " + px(kFocusRingWidth) + " " +
           css(kFocusRing) + "; }\n";
}

// Sounds play where the browser lets a page play them (most wait for the user's first click or
// key); the exit action closes the page's tab when the browser allows it and leaves the page
// otherwise.
constexpr const char* kScript = R"((function () {
  "use strict";
  var sounds = document.getElementsByTagName("audio");
  function play(index) {
    var sound = sounds[index];
    if (!sound) return 0;
    try {
      sound.currentTime = 0;
      var started = sound.play();
      if (started && started.catch) started.catch(function () {});
    } catch (e) {}
    return isFinite(sound.duration) ? sound.duration * 1000 : 0;
  }
  function soundOf(element, name) {
    var index = element.getAttribute(name);
    return index === null ? -1 : Number(index);
  }
  function leave() {
    window.close();
    setTimeout(function () { location.replace("about:blank"); }, 200);
  }
  var spots = document.querySelectorAll(".spot");
  Array.prototype.forEach.call(spots, function (spot) {
    var over = soundOf(spot, "data-over"), click = soundOf(spot, "data-click");
    spot.addEventListener("mouseenter", function () { play(over); });
    spot.addEventListener("focus", function () { if (spot.matches(":focus-visible")) play(over); });
    spot.addEventListener("click", function (event) {
      var heard = click >= 0 ? play(click) : 0;
      if (!spot.hasAttribute("data-exit")) return;
      event.preventDefault();
      // The click sound is heard before the page goes, for at most three seconds.
      setTimeout(leave, Math.min(heard, 3000));
    });
  });
  var exit = document.getElementById("exit");
  if (exit) exit.addEventListener("click", function (event) { event.preventDefault(); leave(); });
  // Escape closes the menu, as in both players.
  document.addEventListener("keydown", function (event) {
    if (event.key === "Escape" && !event.defaultPrevented) { event.preventDefault(); leave(); }
  });
  // On a screen smaller than the menu the whole menu is shown smaller; never larger.
  var menu = document.getElementById("menu");
  function fit() {
    menu.style.zoom = "";
    var scale = Math.min(1, window.innerWidth / menu.offsetWidth, window.innerHeight / menu.offsetHeight);
    if (scale < 1) menu.style.zoom = String(scale);
  }
  window.addEventListener("resize", fit);
  fit();
  var opening = soundOf(document.body, "data-opening");
  if (opening >= 0) {
    var sound = sounds[opening], waiting = false;
    var later = function () {
      document.removeEventListener("pointerdown", later, true);
      document.removeEventListener("keydown", later, true);
      if (waiting) play(opening);
      waiting = false;
    };
    try {
      var started = sound.play();
      if (started && started.catch) started.catch(function () {
        waiting = true;
        document.addEventListener("pointerdown", later, true);
        document.addEventListener("keydown", later, true);
      });
    } catch (e) {}
  }
})();
)";

class PageWriter {
public:
    PageWriter(const PlayerProject& project, const std::string& language) : project_(project), language_(language) {}

    std::string page() {
        const int opening = project_.openingWav.empty() ? -1 : sound(project_.openingWav);
        std::string stage;
        if (!project_.background.empty() && shown("Background picture", project_.background))
            stage += "<img id=\"background\" src=\"" + link(project_.background) + "\" alt=\"\">\n";
        for (const PlayerHotspot& h : project_.hotspots) stage += spot(h);

        std::string out = "<!DOCTYPE html>\n<html lang=\"" + htmlEscaped(language_) + "\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                          + std::string(kGeneratorMark) + "\n";
        out += "<title>" + htmlEscaped(project_.title) + "</title>\n<style>\n" + styleSheet() + "</style>\n</head>\n";
        out += opening >= 0 ? "<body data-opening=\"" + std::to_string(opening) + "\">\n" : "<body>\n";
        // The menu is the page's main part, headed by the CD title for screen readers (the
        // browser's tab shows it to everyone else).
        out += "<main id=\"menu\">\n<h1 id=\"heading\">" + htmlEscaped(project_.title) + "</h1>\n<div id=\"stage\">\n" +
               stage + "</div>\n" + bar();
        for (const std::string& s : sounds_) out += "<audio src=\"" + link(s) + "\" preload=\"auto\"></audio>\n";
        out += "</main>\n<script>\n" + std::string(kScript) + "</script>\n</body>\n</html>\n";
        return out;
    }

private:
    std::string link(const std::string& staged) const {
        return htmlEscaped(urlPath(relativeTo(project_.folder, staged)));
    }

    // The index of a staged sound among the page's <audio> elements, each sound once.
    int sound(const std::string& staged) {
        const auto found = soundIndex_.find(staged);
        if (found != soundIndex_.end()) return found->second;
        sounds_.push_back(staged);
        return soundIndex_[staged] = static_cast<int>(sounds_.size()) - 1;
    }

    const PictureProbe& picture(const std::string& staged) {
        const auto found = pictures_.find(staged);
        if (found != pictures_.end()) return found->second;
        return pictures_[staged] = probePicture(staged);
    }

    // A picture the players can show (a BMP, GIF, PNG or JPEG that reads); otherwise the bar says
    // why, once for each picture, in the players' words.
    bool shown(const char* what, const std::string& staged) {
        const PictureProbe& probe = picture(staged);
        if (probe.width > 0 && probe.height > 0) return true;
        if (!unshown_.insert(staged).second) return false;
        notes_.push_back(std::string(what) + " " + menu::shownPath(staged, project_.folder) + " not shown: " +
                         probe.problem + ".");
        return false;
    }

    std::string spot(const PlayerHotspot& h) {
        int width = 0, height = 0;
        if (!h.rolloverImage.empty() && shown("Rollover picture", h.rolloverImage)) {
            width = picture(h.rolloverImage).width;
            height = picture(h.rolloverImage).height;
        }
        const HotspotRect r = hotspotRect(h.x, h.y, width, height, h.shape);
        const bool button = h.shape.kind == HotspotKind::Button, area = h.shape.kind == HotspotKind::Area;
        std::string a = std::string("<a class=\"spot") + (button ? " button" : area ? " area" : "") + "\" id=\"spot" +
                        std::to_string(h.number) + "\"";
        switch (h.kind) {
            case ActionKind::Exit:
                a += " href=\"about:blank\" data-exit=\"\"";
                break;
            case ActionKind::WebAddress:
                if (isScriptAddress(h.target)) {
                    a += " tabindex=\"0\"";
                    notes_.push_back("Hotspot " + std::to_string(h.number) + ": \"" + h.target +
                                     "\" is not opened from a web page.");
                } else {
                    a += " href=\"" + htmlEscaped(h.target) + "\" target=\"_blank\" rel=\"noopener noreferrer\"";
                }
                break;
            case ActionKind::File:
                a += " href=\"" + link(h.target) + "\" target=\"_blank\" rel=\"noopener\"";
                break;
            case ActionKind::Refused:
                a += " tabindex=\"0\"";
                notes_.push_back(refusedAddressNote(h));
                break;
        }
        a += " aria-label=\"" + htmlEscaped(hotspotName(h)) + "\"";
        // The label as a tooltip, as the players show it.
        if (!h.label.empty()) a += " title=\"" + htmlEscaped(h.label) + "\"";
        if (!h.rolloverWav.empty()) a += " data-over=\"" + std::to_string(sound(h.rolloverWav)) + "\"";
        if (!h.clickWav.empty()) a += " data-click=\"" + std::to_string(sound(h.clickWav)) + "\"";
        a += " style=\"left: " + std::to_string(r.x) + "px; top: " + std::to_string(r.y) +
             "px; width: " + std::to_string(r.width) + "px; height: " + std::to_string(r.height) + "px" +
             (button ? buttonStyle() : "") + "\">";
        if (width > 0 && height > 0)
            a += "<img src=\"" + link(h.rolloverImage) + "\" width=\"" + std::to_string(width) + "\" height=\"" +
                 std::to_string(height) + "\" alt=\"\">";
        if (button) a += "<span>" + htmlEscaped(h.label) + "</span>";
        return a + "</a>\n";
    }

    // A button's colours, corners and edges as the players draw them, for the page's style.
    std::string buttonStyle() const {
        using namespace torvana::menu;
        const ButtonLook& look = buttonLook(project_.buttonStyle.look);
        const ButtonColours c = buttonColours(look, project_.buttonStyle);
        std::string style = "; --face: " + css(c.face) + "; --hover: " + css(c.hover) + "; --pressed: " +
                            css(c.pressed) + "; --text: " + css(c.text) + "; --border: " + css(c.border) +
                            "; border-radius: " + px(look.radius);
        if (look.bevel)
            style += "; --bevel: inset 1px 1px " + css(kBevelLight) + ", inset -1px -1px " + css(kBevelDark) +
                     "; --pressed-bevel: inset 1px 1px " + css(kBevelDark) + ", inset -1px -1px " + css(kBevelLight);
        return style;
    }

    // Below the stage, as in the players: the latest note with the count of the others, and
    // the Browse and Exit buttons; nothing when there is none of them.
    std::string bar() {
        std::vector<std::string> notes = project_.notes;
        notes.insert(notes.end(), notes_.begin(), notes_.end());
        if (notes.empty() && !project_.showBrowse && !project_.showExit) return {};
        std::string out = "<div id=\"bar\">";
        std::string all;
        for (const std::string& n : notes) all += (all.empty() ? "" : "\n") + n;
        std::string shown = notes.empty() ? "" : notes.back();
        if (notes.size() > 1) shown += " (and " + std::to_string(notes.size() - 1) + " more)";
        out += "<span id=\"note\"" + (all.empty() ? std::string() : " title=\"" + htmlEscaped(all) + "\"") + ">" +
               htmlEscaped(shown) + "</span>";
        // The disc's folder, as the players' Browse opens it.
        if (project_.showBrowse)
            out += "<a id=\"browse\" href=\"./\" target=\"_blank\" rel=\"noopener\" accesskey=\"b\"><u>B</u>rowse</a>";
        if (project_.showExit) out += "<a id=\"exit\" href=\"about:blank\" accesskey=\"x\">E<u>x</u>it</a>";
        return out + "</div>\n";
    }

    const PlayerProject& project_;
    std::string language_;
    std::vector<std::string> sounds_;
    std::map<std::string, int> soundIndex_;
    std::map<std::string, PictureProbe> pictures_;
    std::set<std::string> unshown_;
    std::vector<std::string> notes_;  // the page's own, after the mapping's
};

}  // namespace

bool isScriptAddress(const std::string& address) {
    // Browsers drop blanks and control characters from an address before they read its scheme.
    std::string scheme;
    for (const char c : address) {
        if (c == ':') break;
        if (static_cast<unsigned char>(c) > ' ') scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
}

bool isOwnWebMenu(const std::string& pageText) { return pageText.find(kGeneratorMark) != std::string::npos; }

std::string webMenuPage(const PlayerProject& project, const std::string& language) {
    return PageWriter(project, language).page();
}

}  // namespace torvana
