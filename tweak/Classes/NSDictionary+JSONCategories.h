// NSDictionary(JSONCategories): a JSON document fetched and parsed.
//
//   +dictionaryWithContentsOfJSONURLString:   id(id)   the parsed body of the address
//       (NSURL URLWithString:, NSData dataWithContentsOfURL:, NSJSONSerialization
//       JSONObjectWithData:options:error: with options 0): whatever JSON value it holds,
//       or nil for no URL, no data or a parse error
#pragma once

void registerNSDictionaryJSONCategories();
