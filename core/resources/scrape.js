// Reads the document model of the page on display for the found list. It runs
// in the program's own script world, so whatever the page's scripts do to
// document.links, the collections or the element prototypes, the values read
// here are the browser's own.
//
// The caller appends the call: (function (scanLinks, scanImages) {...})(a, b).
// The result is always an object (an exception or undefined would reach the
// program as nothing at all):
//   { href, url, html: bool, error?: text, documents: [
//       { links: [...], images: [...] } | { error: text } | { missing: true } ] }
(function (scanLinks, scanImages) {
    'use strict';
    var result = { href: '', url: '', html: false, documents: [] };
    function describe(e) {
        if (e && e.name)
            return e.name + ': ' + (e.message || '');
        return String(e);
    }
    function addresses(collection, key) {
        var out = new Array(collection.length);
        for (var j = 0; j < collection.length; ++j) {
            var value = collection[j][key];
            // An SVG element in a collection has an animated string here.
            out[j] = typeof value === 'string' ? value
                : (value && typeof value.baseVal === 'string' ? value.baseVal : String(value));
        }
        return out;
    }
    function scan(doc) {
        return {
            links: scanLinks ? addresses(doc.links, 'href') : [],
            images: scanImages ? addresses(doc.images, 'src') : []
        };
    }
    try {
        result.href = String(location.href);
        result.url = String(document.URL);
        if (!(document instanceof HTMLDocument)) {
            result.error = 'The document on display is not an HTML document';
            return result;
        }
        result.html = true;
        var last = window.frames.length - 1;
        if (last < 0)
            last = 0;
        for (var i = 0; i <= last; ++i) {
            try {
                var doc;
                if (window.frames.length === 0) {
                    doc = document;
                } else {
                    var frame = window.frames[i];
                    doc = frame ? frame.document : null;
                }
                result.documents.push(doc ? scan(doc) : { missing: true });
            } catch (e) {
                result.documents.push({ error: describe(e) });
            }
        }
    } catch (e) {
        result.error = describe(e);
    }
    return result;
})
