// The newsgroups a wildmat selects on the server: LIST ACTIVE asked on the
// search's own session, its answer read into sorted group names.
#pragma once

#include "run_session.h"

#include <cstddef>
#include <string>
#include <vector>

// The names of a LIST ACTIVE response (its status line, "name high low
// status" lines, the terminating "."), those the wildmat matches, sorted, each
// once. A group listed with status "=other.group" is filed under that other
// group: the other name is taken instead. Lines without the four fields are
// passed over.
std::vector<std::string> ReadActiveList(const char* response, std::size_t length,
                                        const std::string& wildmat);

// Asks for the groups the wildmat selects: "LIST ACTIVE wildmat", and when the
// server refuses that form (500, 501, 503) or the wildmat does not fit one
// command line, "LIST ACTIVE", then "LIST", the answer matched here. A login
// the server asks for with 480 goes as on any command. Continue with the names
// (sorted, each once; none when nothing matched), or Failed (the reason
// written, the connection closed).
kvStep ListGroups(kvRunSession& s, const std::string& wildmat, std::vector<std::string>& names);
