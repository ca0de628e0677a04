// The site's service worker (sw.js) keeps the site's files, so that the
// games install to the home screen and play with no network.
'use strict';

if ('serviceWorker' in navigator) {
  addEventListener('load', function () {
    navigator.serviceWorker.register('sw.js').catch(function (error) {
      console.warn('CSpindrel works online only here: ' + error.message);
    });
  });
}
