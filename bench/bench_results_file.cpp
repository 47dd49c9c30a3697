// Saving and loading a results file of 1024 articles of 30 KB each.
#include "bench.h"
#include "results_file.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>

void kvBench::ResultsFileSaveLoad(const std::string& directory) {
    auto set = std::make_unique<kvResultSet>();
    std::string line = std::string(71, 'x') + "\n";
    for (int i = 0; i < KV_MAX_ARTICLES; ++i) {
        auto a = std::make_unique<kvArticle>();
        for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f)
            std::snprintf(ArticleField(*a, f), KV_FIELD_SIZE, "field %d of article %d", f, i);
        std::string body;
        while (body.size() + line.size() <= 30 * 1024)
            body += line;
        a->body.reset(new char[body.size() + 1]);
        std::memcpy(a->body.get(), body.c_str(), body.size() + 1);
        set->Append(std::move(a));
    }
    kvSearchSummary summary;
    CopyField(summary.pattern, "bench");

    std::string path = directory + "/korvex-bench.kvx";
    double start = Seconds();
    bool saved = SaveResultsFile(path.c_str(), summary, *set);
    double saveTime = Seconds() - start;

    auto loaded = std::make_unique<kvResultSet>();
    kvSearchSummary loadedSummary;
    start = Seconds();
    int n = LoadResultsFile(path.c_str(), loadedSummary, *loaded);
    double loadTime = Seconds() - start;

    struct stat st {};
    stat(path.c_str(), &st);
    std::remove(path.c_str());
    double mb = static_cast<double>(st.st_size) / 1e6;
    std::printf("results   : save %s in %.3f s (%.0f MB/s), load %d articles in %.3f s "
                "(%.0f MB/s), file %.1f MB\n",
                saved ? "ok" : "FAILED", saveTime, mb / saveTime, n, loadTime, mb / loadTime, mb);
}
