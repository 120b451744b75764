// Checks that the tree's folders include one another one way only: no
// folder includes a header of a folder that includes one of its headers
// back, directly or through a chain.  Reads every source, header and
// resource script below the root given (build trees and hidden folders
// aside), takes each quoted #include that names a file of the tree (from
// the root or beside the including file) as an edge from the including
// file's folder to the included file's, and names each cycle with one
// include that makes each of its steps.  Exits 1 when there is a cycle.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool IsSource(const fs::path& path) {
    static const char* const kExtensions[] = {".h", ".hpp", ".c", ".cpp", ".inc", ".rc"};
    const std::string extension = path.extension().string();
    return std::find(std::begin(kExtensions), std::end(kExtensions), extension) !=
           std::end(kExtensions);
}

// Folders whose files are not the tree's code: hidden ones and build trees.
bool IsSkipped(const fs::path& name) {
    const std::string n = name.string();
    return n.empty() || n[0] == '.' || n == "build" || n.rfind("build-", 0) == 0;
}

// The name in `#include "name"`, or empty.
std::string QuotedInclude(const std::string& line) {
    std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#')
        return "";
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0)
        return "";
    const std::size_t open = line.find('"', i + 7);
    if (open == std::string::npos)
        return "";
    const std::size_t close = line.find('"', open + 1);
    return close == std::string::npos ? "" : line.substr(open + 1, close - open - 1);
}

// Folder of a path relative to the root, "." for the root itself.
std::string FolderOf(const fs::path& relative) {
    const fs::path parent = relative.parent_path();
    return parent.empty() ? "." : parent.generic_string();
}

struct Edge {
    std::string file;     // the including file
    std::string included; // the file it includes
};

typedef std::map<std::string, std::map<std::string, Edge>> Graph; // folder -> folder -> example

void Collect(const fs::path& root, Graph* graph, std::size_t* files) {
    std::vector<fs::path> pending = {root};
    while (!pending.empty()) {
        const fs::path dir = pending.back();
        pending.pop_back();
        // In name order, so that the same tree always gives the same report.
        std::vector<fs::directory_entry> entries(fs::directory_iterator(dir), {});
        std::sort(entries.begin(), entries.end());
        for (const fs::directory_entry& entry : entries) {
            if (entry.is_directory()) {
                if (!IsSkipped(entry.path().filename()))
                    pending.push_back(entry.path());
                continue;
            }
            if (!entry.is_regular_file() || !IsSource(entry.path()))
                continue;
            ++*files;
            const fs::path relative = entry.path().lexically_relative(root);
            const std::string from = FolderOf(relative);
            (*graph)[from];
            std::ifstream in(entry.path());
            std::string line;
            while (std::getline(in, line)) {
                const std::string name = QuotedInclude(line);
                if (name.empty())
                    continue;
                fs::path target;
                if (fs::is_regular_file(root / name))
                    target = fs::path(name).lexically_normal();
                else if (fs::is_regular_file(entry.path().parent_path() / name))
                    target = (relative.parent_path() / name).lexically_normal();
                else
                    continue; // generated, or not of this tree
                const std::string to = FolderOf(target);
                if (to != from && !(*graph)[from].count(to))
                    (*graph)[from][to] = {relative.generic_string(), target.generic_string()};
            }
        }
    }
}

// Strongly connected components (Tarjan), each a set of folders.
struct Components {
    const Graph& graph;
    std::map<std::string, int> index, low;
    std::vector<std::string> stack;
    std::set<std::string> onStack;
    std::vector<std::vector<std::string>> found;
    int next = 0;

    void Visit(const std::string& v) {
        index[v] = low[v] = next++;
        stack.push_back(v);
        onStack.insert(v);
        const auto it = graph.find(v);
        if (it != graph.end()) {
            for (const auto& e : it->second) {
                const std::string& w = e.first;
                if (!index.count(w)) {
                    Visit(w);
                    low[v] = std::min(low[v], low[w]);
                } else if (onStack.count(w)) {
                    low[v] = std::min(low[v], index[w]);
                }
            }
        }
        if (low[v] == index[v]) {
            std::vector<std::string> component;
            std::string w;
            do {
                w = stack.back();
                stack.pop_back();
                onStack.erase(w);
                component.push_back(w);
            } while (w != v);
            if (component.size() > 1)
                found.push_back(component);
        }
    }
};

// The shortest way from start back to start inside the component.
std::vector<std::string> CycleThrough(const Graph& graph, const std::string& start,
                                      const std::set<std::string>& component) {
    std::map<std::string, std::string> before;
    std::vector<std::string> frontier = {start};
    while (!frontier.empty()) {
        std::vector<std::string> following;
        for (const std::string& v : frontier) {
            for (const auto& e : graph.at(v)) {
                const std::string& w = e.first;
                if (!component.count(w))
                    continue;
                if (w == start) {
                    std::vector<std::string> cycle = {v};
                    while (cycle.back() != start)
                        cycle.push_back(before[cycle.back()]);
                    std::reverse(cycle.begin(), cycle.end());
                    cycle.push_back(start);
                    return cycle;
                }
                if (!before.count(w)) {
                    before[w] = v;
                    following.push_back(w);
                }
            }
        }
        frontier.swap(following);
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: folder_cycles ROOT\n");
        return 2;
    }
    const fs::path root = fs::path(argv[1]).lexically_normal();
    if (!fs::is_directory(root)) {
        std::fprintf(stderr, "folder_cycles: %s is not a folder\n", argv[1]);
        return 2;
    }
    Graph graph;
    std::size_t files = 0;
    Collect(root, &graph, &files);
    for (auto& from : graph)
        for (auto& to : from.second)
            graph[to.first];
    Components components{graph, {}, {}, {}, {}, {}, 0};
    for (const auto& v : graph)
        if (!components.index.count(v.first))
            components.Visit(v.first);
    if (components.found.empty()) {
        std::printf("no folder includes a folder that includes it back (%zu folders, %zu "
                    "files)\n",
                    graph.size(), files);
        return 0;
    }
    for (std::vector<std::string>& component : components.found) {
        std::sort(component.begin(), component.end());
        const std::set<std::string> members(component.begin(), component.end());
        const std::vector<std::string> cycle = CycleThrough(graph, component.front(), members);
        std::string names;
        for (const std::string& f : cycle)
            names += (names.empty() ? "" : " -> ") + f + "/";
        std::printf("include cycle: %s\n", names.c_str());
        for (std::size_t i = 0; i + 1 < cycle.size(); ++i) {
            const Edge& e = graph.at(cycle[i]).at(cycle[i + 1]);
            std::printf("  %s includes %s\n", e.file.c_str(), e.included.c_str());
        }
        if (component.size() > cycle.size() - 1) {
            std::string all;
            for (const std::string& f : component)
                all += " " + f + "/";
            std::printf("  (folders of this tangle:%s)\n", all.c_str());
        }
    }
    return 1;
}
