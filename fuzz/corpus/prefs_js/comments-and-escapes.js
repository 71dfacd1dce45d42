/* a block
   comment */ user_pref("network.hosts.imap_servers", "imap.example.net,imap2.example.net");
user_pref("mail.identity.organization", "Café \x41\u00e9\u20ac");
user_pref("unterminated", "value
user_pref('single', 'quoted');