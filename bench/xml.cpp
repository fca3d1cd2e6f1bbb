// xml.cpp — how fast ZY_XMLReader pulls a large data-array file, next to pugixml
// parsing the same file in the same run.
//
// The file (about 10 MiB, written to a temporary folder) is what data-array files look
// like: arrays of <node> elements with a dozen attributes each, comments between groups
// of nodes, backslash escapes and runs of text. Both readers start from the file on
// disk (in the page cache after the first round) and read all of it: ZY_XMLReader hands
// out every record, pugixml builds its document. The summary line gives both rates in
// MB/s and their ratio.
//
//   ./bench/bench_xml [--benchmark_min_time=2]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>

#include <benchmark/benchmark.h>

#include "config/xml_reader.h"

#ifdef ZYLEM_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

std::string g_path;   // the generated file
size_t g_size = 0;    // its size in bytes

// Writes the data-array file; returns its size.
size_t WriteDataFile(const std::string &path, size_t target_bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  static const char *const kinds[] = {"sprite", "sound", "font", "level"};
  fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<data>\n");
  size_t written = 0;
  int node = 0;
  for (int array = 0; written < target_bytes; array++) {
    fprintf(f, "  <array id=\"ARRAY_%d\">\n", array);
    for (int i = 0; i < 200; i++, node++) {
      if (i % 20 == 0) fprintf(f, "    <!-- group %d: nodes %d to %d -- generated -->\n", i / 20, node, node + 19);
      fprintf(f,
              "    <node id=\"N%06d\" kind=\"%s\" file=\"gfx/%s/item_%d.png\" x=\"%d\" y=\"%d\"\n"
              "          width=\"%d\" height=\"%d\" pack=\"2\" scale=\"%d.%02d\" frames=\"%d\"\n"
              "          flags=\"ALPHA,RELOADABLE\" caption=\"Item %d\\n\\tline two\\\\end\"",
              node, kinds[node % 4], kinds[node % 4], node, node % 1024, node % 768, 32 + node % 96,
              32 + node % 64, node % 4, node % 100, 1 + node % 8, node);
      if (i % 3 == 0)
        fprintf(f, ">Description of item %d: a short run of text.</node>\n", node);
      else
        fprintf(f, "/>\n");
    }
    fprintf(f, "  </array>\n");
    written = (size_t)ftell(f);
  }
  fprintf(f, "</data>\n");
  size_t size = (size_t)ftell(f);
  fclose(f);
  return size;
}

void BM_ZyXmlReader(benchmark::State &state) {
  int64_t records = 0, attributes = 0;
  for (auto _ : state) {
    ZY_XMLReader reader;
    if (!reader.Open(g_path.c_str(), true)) {
      state.SkipWithError("cannot open the data file");
      return;
    }
    while (!reader.AtEnd()) {
      ZY_XMLElement *e = reader.ReadElement();
      if (!e) continue;
      records++;
      attributes += e->attribute_count;
    }
    benchmark::DoNotOptimize(records);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)g_size);
  state.counters["records"] = (double)records / (double)state.iterations();
  state.counters["attributes"] = (double)attributes / (double)state.iterations();
}
BENCHMARK(BM_ZyXmlReader)->Unit(benchmark::kMillisecond);

#ifdef ZYLEM_HAVE_PUGIXML
void BM_Pugixml(benchmark::State &state) {
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_file(g_path.c_str());
    if (!result) {
      state.SkipWithError(result.description());
      return;
    }
    benchmark::DoNotOptimize(doc.first_child());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)g_size);
}
BENCHMARK(BM_Pugixml)->Unit(benchmark::kMillisecond);
#endif

// Console output as usual, and the rates kept for the summary.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  RateReporter() : ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}
  std::map<std::string, double> rates;  // bytes per second by benchmark name
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end() && !run.error_occurred)
        rates[run.benchmark_name()] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char **argv) {
  char folder[] = "/tmp/zylem-bench-xml-XXXXXX";
  if (!mkdtemp(folder)) {
    perror("mkdtemp");
    return 1;
  }
  g_path = std::string(folder) + "/data.xml";
  g_size = WriteDataFile(g_path, 10u << 20);
  if (!g_size) {
    fprintf(stderr, "cannot write %s\n", g_path.c_str());
    return 1;
  }
  printf("Data file: %.1f MB (%zu bytes)\n", g_size / 1e6, g_size);

  benchmark::Initialize(&argc, argv);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  double zy = reporter.rates["BM_ZyXmlReader"] / 1e6;
  printf("\nZY_XMLReader: %.0f MB/s\n", zy);
#ifdef ZYLEM_HAVE_PUGIXML
  double pugi = reporter.rates["BM_Pugixml"] / 1e6;
  printf("pugixml:      %.0f MB/s\n", pugi);
  if (pugi > 0) printf("ratio ZY_XMLReader / pugixml: %.2f\n", zy / pugi);
#else
  printf("pugixml was not found at build time: no comparison\n");
#endif
  unlink(g_path.c_str());
  rmdir(folder);
  return 0;
}
