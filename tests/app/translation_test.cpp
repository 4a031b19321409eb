// The window's texts come from the message catalogues: German under a German
// locale, and exactly as written under a locale without a catalogue. The
// template that translators start from holds every text marked in the code.
// CTest runs this under de_DE.UTF-8 and again under C.UTF-8.
#include <glib/gi18n.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <clocale>
#include <fstream>
#include <set>
#include <string>

#include "app/interface.h"
#include "app/support.h"

namespace {

// The messages of a .po or .pot file, as written in the source.
std::set<std::string> msgids(const char *path) {
  std::ifstream in(path);
  std::set<std::string> ids;
  std::string line, id;
  bool in_id = false;
  while (std::getline(in, line)) {
    const bool starts = line.rfind("msgid \"", 0) == 0;
    if (starts) line.erase(0, 6);
    if (starts || (in_id && line.size() >= 2 && line[0] == '"')) {
      gchar *text = g_strcompress(line.substr(1, line.size() - 2).c_str());
      id = (starts ? "" : id) + text;
      g_free(text);
      in_id = true;
    } else if (in_id) {
      if (!id.empty()) ids.insert(id);
      in_id = false;
    }
  }
  return ids;
}

struct Text {
  const char *name, *english, *german;
};
const Text kLabels[] = {
    {"label2", "Altitude", "Höhe"},
    {"label3", "Azimuth", "Azimut"},
    {"label4", "Hour Angle", "Stundenwinkel"},
    {"label5", "Declination", "Deklination"},
    {"label6", "Field Rotation", "Bildfeldrotation"},
    {"label7", "a1", "a1"},
    {"label8", "a2", "a2"},
    {"label9", "a3", "a3"},
    {"label10", "Latitude", "Breite"},
    {"label11", "Camera Alt", "Kamera-Höhe"},
    {"label12", "Camera Az", "Kamera-Azimut"},
};

TEST(Translations, TheTemplateHoldsEveryLabelAndHelpParagraph) {
  const std::set<std::string> ids = msgids(VELMORANT_POT);
  for (const Text &label : kLabels) EXPECT_EQ(ids.count(label.english), 1u) << label.english;
  for (const char *paragraph : kHelpParagraphs) EXPECT_EQ(ids.count(paragraph), 1u) << paragraph;
}

TEST(Translations, TheWindowSpeaksTheLanguageOfTheLocale) {
  bindtextdomain("velmorant", VELMORANT_BUILD_LOCALEDIR);
  bind_textdomain_codeset("velmorant", "UTF-8");
  textdomain("velmorant");
  const bool german = g_str_has_prefix(setlocale(LC_MESSAGES, nullptr), "de_DE");
  ASSERT_EQ(german, g_str_has_prefix(g_getenv("LANG"), "de_DE")) << "the locale was not set up";

  GtkWidget *window = create_main_window();
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)),
               german ? "Velmorant-Montierungssimulation" : "Velmorant Mount Simulation");
  for (const Text &label : kLabels) {
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(lookup_widget(window, label.name))),
                 german ? label.german : label.english);
  }
  gtk_widget_destroy(window);
}

}  // namespace
