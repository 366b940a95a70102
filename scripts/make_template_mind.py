#!/usr/bin/env python3
# Writes app/resources/template_mind.mdd, the built-in template mind, from the conversations below.
# Checks the structure a new mind relies on: 122 lines in 35 conversations, speakers $a 68,
# $b 52, Bot 1, Robot 1.
# Conversations: each a list of (speaker or None for alternating, text).
convs = [
 ["Hi.", "Hello  :)", "Hey there!  {:-)", "Ahoy!!"],
 ["How are you?", "I'm good, how about you?", "Pretty good, thanks for asking."],
 ["Is your computer fast?", "Fast enough for me.", "Mine takes ages to start.", "Have you tried restarting it?"],
 ["What do you use it for?", "Chatting and reading news.", "Same here, and games.", "My computer could be faster."],
 ["Good morning!", "Good morning to you too.", "Did you sleep well?", "Like a log, thanks."],
 ["What are you doing?", "Just talking to you.", "That sounds nice."],
 [("$a","Who are you?"), ("Bot","My name is Bot. Pleased to meet you."), ("Robot","You can call me Robot!"), ("$a","Nice to meet you both.")],
 ["Do you like music?", "I love music.", "What kind?", "Mostly rock."],
 ["What's the weather like?", "Sunny and warm today."],
 ["I'm bored.", "Let's talk about something fun.", "Okay, tell me a joke."],
 ["Do you have any pets?", "I have a cat.", "What's its name?", "Whiskers."],
 ["What's your favorite food?", "Pizza, without a doubt.", "With pineapple?", "Never!"],
 ["Thank you.", "You're welcome."],
 ["Where do you live?", "In a small town by the sea."],
 ["Do you like movies?", "Yes, especially comedies.", "Seen anything good lately?", "Not really."],
 ["I'm tired.", "Get some rest.", "Good idea.", "Sleep tight."],
 ["Are you a robot?", "Does it matter?", "I guess not.", "Let's just chat then."],
 ["What time is it?", "Time to have some fun!", "Ha, nice one."],
 ["Do you play sports?", "I like to go running.", "How far do you run?", "About five kilometres."],
 ["Happy birthday!", "Thanks! How did you know?", "A little bird told me."],
 ["What are your hobbies?", "Reading, cooking and walks.", "What do you like to cook?", "Soup, mostly."],
 ["Can you help me?", "I'll try. What's up?", "I can't decide what to eat.", "How about a sandwich?"],
 ["I like you.", "I like you too.", "That's nice to hear."],
 ["Tell me a fact.", "Octopuses have three hearts.", "Wow, really?", "Now you do."],
 ["Do you read books?", "All the time.", "Which one are you reading now?", "A mystery novel."],
 ["It's cold today.", "Wear a warm jacket.", "I will, thanks.", "Stay cosy!"],
 ["How old are you?", "Old enough.", "Ha, fair enough."],
 ["What's new?", "Not much, relaxing.", "Sounds good to me."],
 ["I'm hungry.", "Go and grab a snack.", "Good plan."],
 ["Do you like to travel?", "Yes, I love mountains.", "Me too, or a beach.", "Both sound great."],
 ["Sorry, I have to go.", "Talk to you later.", "Bye for now!"],
 ["Are you happy?", "Most of the time, yes.", "Good to hear."],
 ["What did you do today?", "I took a walk in the park.", "Was it nice?", "Very nice, the trees are green."],
 ["Goodnight.", "Sleep well.", "Sweet dreams!"],
 ["How's it going?", "Great, thanks!", "Good indeed."],
]
out = []
late = None
for ci, conv in enumerate(convs, start=1):
    for ti, item in enumerate(conv, start=1):
        if isinstance(item, tuple):
            sp, text = item
        else:
            sp, text = ("$a" if ti % 2 else "$b"), item
        out.append(f"$ {ci*1000+ti} {sp} {text}")
    if ci == 4:
        out.append("$ 3005 $a My computer isn't that slow.")
from collections import Counter
c = Counter(l.split(' ')[2] for l in out)
assert len(out) == 122 and c == {"$a": 68, "$b": 52, "Bot": 1, "Robot": 1}, c
body = "\r\n".join(["1.2 1.2 \"Vebix\"", "app=Vebix", "appver=1.2.02", "gender=m", ""] + out) + "\r\n"
data = b"\xef\xbb\xbf" + body.encode("utf-8")
print(len(data), out[-1])
import os
open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app", "resources", "template_mind.mdd"), "wb").write(data)
