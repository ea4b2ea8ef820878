// bench-whole-text: writes the inputs of a benchmark project, a Russian-looking
// site text and a list of link addresses, as UTF-8 files with one line per LF
// (the form `orvana-cli new --text/--links` reads).
//
//   bench-whole-text --pages N --text FILE --links FILE [--addresses K]
//                    [--min 4000] [--max 5000] [--seed S]
//
// The text is made of paragraphs (one line each, an empty line between two
// paragraphs) of sentences joined by ". ". It is cut as the generator cuts a
// site text, so the site it gives has exactly N pages for the given page
// bounds; the generator's own summary line confirms that count. Output is the
// same for the same arguments.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

// A small fixed-seed generator, so that every run writes the same files.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return s_;
  }
  size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }

 private:
  uint64_t s_;
};

// clang-format off
const char* const kWords[] = {
    "город",     "улица",     "дорога",     "время",      "человек",   "жизнь",     "вечер",
    "утро",      "история",   "летопись",   "князь",      "дружина",   "поход",     "река",
    "берег",     "крепость",  "ворота",     "площадь",    "собор",     "купец",     "товар",
    "ярмарка",   "зима",      "весна",      "лето",       "осень",     "снег",      "дождь",
    "ветер",     "поле",      "лес",        "деревня",    "село",      "мельница",  "хлеб",
    "соль",      "письмо",    "грамота",    "посол",      "совет",     "вече",      "народ",
    "старец",    "монастырь", "книга",      "страница",   "рассказ",   "сказание",  "дело",
    "слово",     "память",    "наследие",   "порядок",    "закон",     "суд",       "правда",
    "мир",       "война",     "союз",       "граница",    "земля",     "небо",      "солнце",
    "луна",      "звезда",    "огонь",      "вода",       "камень",    "дерево",    "мост",
    "лодка",     "корабль",   "торговля",   "ремесло",    "мастер",    "кузнец",    "гончар",
    "плотник",   "ученик",    "учитель",    "семья",      "дом",       "двор",      "сад",
    "и",         "в",         "на",         "с",          "по",        "к",         "за",
    "из",        "что",       "как",        "когда",      "потом",     "снова",     "тогда",
    "долго",     "тихо",      "быстро",     "громко",     "рано",      "поздно",    "далеко",
    "шёл",       "говорил",   "смотрел",    "писал",      "строил",    "вернулся",  "собрались",
    "решили",    "пришёл",    "увидели",    "запомнили",  "рассказали","отправился","остановились",
    "старый",    "новый",     "большой",    "малый",      "светлый",   "тёмный",    "широкий",
    "высокий",   "далёкий",   "богатый",    "бедный",     "мудрый",    "храбрый",   "северный",
    "южный",     "каменный",  "деревянный", "торговый",   "княжеский", "летописный","прошлый",
    "достопримечательность", "переписывание", "благоустройство",
};
// clang-format on
constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

// Windows-1251 length of UTF-8 text: one byte per character.
size_t CharCount(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// Upper-cases the first letter of a UTF-8 Cyrillic word (а..я, ё).
std::string Capitalised(std::string w) {
  const unsigned char a = static_cast<unsigned char>(w[0]);
  if (w.size() < 2) return w;
  const unsigned char b = static_cast<unsigned char>(w[1]);
  unsigned cp = ((a & 0x1Fu) << 6) | (b & 0x3Fu);
  if (cp >= 0x430 && cp <= 0x44F)
    cp -= 0x20;
  else if (cp == 0x451)
    cp = 0x401;
  else
    return w;
  w[0] = static_cast<char>(0xC0 | (cp >> 6));
  w[1] = static_cast<char>(0x80 | (cp & 0x3F));
  return w;
}

std::string Sentence(Rng& rng) {
  const size_t words = 6 + rng.Below(10);
  std::string s;
  for (size_t i = 0; i < words; ++i) {
    std::string w = kWords[rng.Below(kWordCount)];
    if (i == 0) w = Capitalised(w);
    if (i > 0) s += ' ';
    s += w;
    if (i + 1 < words && rng.Below(9) == 0) s += ',';
  }
  return s;
}

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: bench-whole-text --pages N --text FILE --links FILE [--addresses K] "
               "[--min N] [--max N] [--seed S]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  long pages = 0, addresses = 300, min_chars = 4000, max_chars = 5000;
  unsigned long long seed = 1;
  std::string text_file, links_file;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) Usage();
    const char* v = argv[++i];
    if (a == "--pages")
      pages = std::atol(v);
    else if (a == "--addresses")
      addresses = std::atol(v);
    else if (a == "--min")
      min_chars = std::atol(v);
    else if (a == "--max")
      max_chars = std::atol(v);
    else if (a == "--seed")
      seed = std::strtoull(v, nullptr, 10);
    else if (a == "--text")
      text_file = v;
    else if (a == "--links")
      links_file = v;
    else
      Usage();
  }
  if (pages < 1 || text_file.empty() || links_file.empty() || min_chars < 0 ||
      max_chars <= min_chars + 200)
    Usage();

  Rng rng(seed);
  std::ofstream text(text_file, std::ios::binary);
  // The cutting rule of the generator, followed byte by byte: `page_len` is
  // the length of the page being filled. A page ends at a full stop followed
  // by a space, or at the first CR of an empty line, once it holds more than
  // `min_chars` and fewer than `max_chars` bytes; sentences are far shorter
  // than the window, so no forced cut happens. The last page is kept at or
  // below `min_chars` bytes, so that no further cut can fall in it.
  long page_len = 0, done_pages = 0;
  uint64_t total = 0;
  auto maybe_cut = [&] {
    if (page_len > min_chars && page_len < max_chars) {
      ++done_pages;
      page_len = 0;
    }
  };
  bool first_paragraph = true, stop = false;
  while (!stop) {
    std::string line;
    const size_t sentences = 3 + rng.Below(6);
    for (size_t i = 0; i < sentences; ++i) {
      const std::string s = Sentence(rng);
      const long len = static_cast<long>(CharCount(s));
      if (done_pages == pages - 1 && page_len + len + 3 > min_chars) {
        stop = true;
        break;
      }
      if (i == 0) {
        if (!first_paragraph) {
          ++page_len;  // the CR after the previous paragraph's line
          maybe_cut();
          ++page_len;  // the CR of the empty line between paragraphs
          text << '\n';
          total += 1;
        }
        first_paragraph = false;
      } else {
        maybe_cut();  // after the previous sentence's full stop
        line += ' ';
        ++page_len;
      }
      line += s;
      line += '.';
      page_len += len + 1;
    }
    if (!line.empty()) {
      text << line << '\n';
      total += CharCount(line) + 1;
    }
  }
  text.close();
  if (!text) {
    std::perror(text_file.c_str());
    return 1;
  }

  std::ofstream links(links_file, std::ios::binary);
  const char* const kSections[] = {"istoriya", "goroda", "knigi", "remesla", "puteshestviya"};
  for (long i = 0; i < addresses; ++i)
    links << "https://example.org/" << kSections[i % 5] << "/statya-" << (i + 1) << ".html\n";
  links.close();
  if (!links) {
    std::perror(links_file.c_str());
    return 1;
  }
  std::printf("%ld pages, %llu text bytes, %ld addresses\n", pages,
              static_cast<unsigned long long>(total), addresses);
  return 0;
}
