// NSDictionary(JSONCategories): a JSON document fetched and parsed.
//
//   +dictionaryWithContentsOfJSONURLString:   id(id)   the parsed body of the address
//       (NSURL URLWithString:, NSData dataWithContentsOfURL:, NSJSONSerialization
//       JSONObjectWithData:options:error: with options 0): whatever JSON value it holds,
//       or nil for no URL, no data or a parse error
#pragma once

#include <objc/NSObject.h>

#include <string>

void registerNSDictionaryJSONCategories();

namespace cantrel::json {

// The parsed body of a web address fetched within `seconds` (NSURLRequest
// requestWithURL:cachePolicy:timeoutInterval:, NSURLConnection
// sendSynchronousRequest:returningResponse:error:, then the same parse as
// above); nil on any failure, with `why` set to its reason.
id objectAtAddress(id address, double seconds, std::string& why);

}  // namespace cantrel::json
